// The pictures of a folder frame, listed as they are found.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

namespace velmora {

// Names compared as people read them: runs of digits by their value ("2"
// before "10"), everything else without regard to letter case.
bool NaturalLess(std::string_view a, std::string_view b);

// Called for each picture found (its full path, 8-bit, system code page);
// returning false stops the listing.
using FolderPictureVisitor = std::function<bool(const std::string& path)>;

// Visits the pictures (files LoadGraphic has an opener for) of folder in
// natural name order, then, when includeSubfolders, each subfolder's in
// natural order, depth first. A folder reached a second time (through a
// link) is not listed again. Stops early when visit returns false or cancel
// is set. Returns false when folder itself cannot be listed (missing, not a
// folder, unreadable); unreadable subfolders are passed over.
bool ForEachFolderPicture(const std::string& folder, bool includeSubfolders, const FolderPictureVisitor& visit,
                          const std::atomic<bool>* cancel = nullptr);

}  // namespace velmora
