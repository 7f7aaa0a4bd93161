// The main window's thumbnails: made in batches on all processors (with the
// wait cursor, and a progress window that can stop them when they take more
// than a second), read back for the strip's slots, deleted when the window
// closes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "editor/FrameStrip.h"
#include "editor/Thumbnails.h"
#include "editor/ThumbnailsWin32.h"
#include "fade/Graphics.h"

namespace velmora {

class StripThumbnails : public ThumbnailMaker {
 public:
  StripThumbnails();
  ~StripThumbnails() override;
  StripThumbnails(const StripThumbnails&) = delete;
  StripThumbnails& operator=(const StripThumbnails&) = delete;

  // The window that owns the progress window (not owned).
  void SetOwner(HWND owner) { owner_ = owner; }

  std::vector<bool> MakeThumbnails(const std::vector<std::string>& paths, std::int32_t firstNumber) override;
  // One thumbnail, without progress window.
  bool MakeOne(const std::string& path, std::int32_t number);
  // Thumbnail n stretched to the strip's square picture, or nullptr when
  // there is none.
  std::shared_ptr<const MemoryImage24> Load(std::int32_t number);
  // Deletes thumbnails 1 .. below-1 and this run's folder. Later calls do
  // nothing.
  void DeleteAll(std::int32_t below);

 private:
  HWND owner_ = nullptr;
  EditorThumbnails files_;  // the store in a folder of this run
  // Thumbnails read back already, so that scrolling reads each file once.
  std::map<std::int32_t, std::shared_ptr<const MemoryImage24>> loaded_;
};

}  // namespace velmora
