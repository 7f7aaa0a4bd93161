// Folder frames' listing through the system's own folder reading: wide
// paths, one call a batch of names (large fetch, no short names), each name
// given in the system code page the frame-set file uses.
#pragma once

#include <atomic>
#include <string>

#include "saver/FolderPictures.h"

namespace velmora {

// ForEachFolderPicture's rules, read with FindFirstFileExW. A name the
// system code page cannot hold is passed over (no 8-bit path could open
// it). A folder reached again through a junction or link (same volume and
// file index) is not listed again.
bool ForEachFolderPictureWin32(const std::string& folder, bool includeSubfolders, const FolderPictureVisitor& visit,
                               const std::atomic<bool>* cancel);

// Makes ForEachFolderPicture use ForEachFolderPictureWin32. Called once at
// start-up.
void InstallWin32FolderListing();

}  // namespace velmora
