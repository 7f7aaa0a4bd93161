// The editor's thumbnails on Windows. The files go to a folder of this editor
// run under the user's temporary folder (the executable's own folder is the
// system folder for a saved saver, or a program folder: neither is writable
// by a user), and the folder goes when the main window closes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "editor/Thumbnails.h"
#include "platform/HandlesWin32.h"

namespace velmora {

class EditorThumbnails {
 public:
  // Creates a new folder for this run under GetTempPathW. When no folder
  // can be made the store keeps every thumbnail in memory.
  EditorThumbnails();
  // Same as Close(everything made so far).
  ~EditorThumbnails();
  EditorThumbnails(const EditorThumbnails&) = delete;
  EditorThumbnails& operator=(const EditorThumbnails&) = delete;

  ThumbnailStore& Store() { return *store_; }
  const std::filesystem::path& Folder() const { return store_->Folder(); }

  // MakeThumbnail(path, n): see ThumbnailStore::Make.
  bool Make(const std::string& path, std::int32_t n);
  // Tells of thumbnails up to number highest made through Store() (a batch
  // or the background queue), so that the destructor deletes them too.
  void NoteMade(std::int32_t highest);

  // Thumbnail n as a 24-bit DIB section for a picture control to stretch;
  // empty when there is none.
  UniqueBitmap LoadBitmap(std::int32_t n) const;

  // FormClose: deletes thumbnails 1 .. below-1 and removes the run's folder
  // (with anything left in it). Later calls do nothing.
  void Close(std::int32_t below);

 private:
  std::unique_ptr<ThumbnailStore> store_;
  std::int32_t highest_ = 0;  // the largest number made, for the destructor
  bool ownsFolder_ = false;
  bool closed_ = false;
};

// A new folder under the user's temporary folder (GetTempPathW) named
// prefix + process id + "-" + a number; empty path when none could be made.
std::filesystem::path CreateRunFolder(const wchar_t* prefix);

}  // namespace velmora
