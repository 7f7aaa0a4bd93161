// The main window's thumbnails: made in batches (with the wait cursor, and
// a progress window that can stop them when they take a while), read back
// for the strip's slots, deleted when the window closes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "editor/FrameStrip.h"
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
  // Thumbnail n, or nullptr when there is none.
  std::shared_ptr<const Image24> Load(std::int32_t number) const;
  // Deletes thumbnails 1 .. below-1.
  void DeleteAll(std::int32_t below);

 private:
  HWND owner_ = nullptr;
};

}  // namespace velmora
