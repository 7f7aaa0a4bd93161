#include "fade/ScaledRaster.h"

#include <exception>
#include <stdexcept>
#include <utility>

namespace velmora {

bool ScaledRaster::Prepare(int width, int height, const std::atomic<bool>* cancel) const {
  if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > kMaxKeptPixels) return true;
  if (width == width_ && height == height_ && natural_ == NaturalSize::DrawDirect) return true;
  std::lock_guard lock(mutex_);
  if (FindLocked(width, height)) return true;
  ++renders_;
  std::shared_ptr<MemoryImage24> image;
  try {
    image = Render(width, height, cancel);
  } catch (const std::exception&) {
    return false;  // the draw will find it damaged again, and draw black
  }
  if (!image) return false;
  KeepLocked(std::move(image));
  return true;
}

bool ScaledRaster::Keeps(int width, int height) const {
  std::lock_guard lock(mutex_);
  return FindLocked(width, height) != nullptr;
}

void ScaledRaster::DropCache() const {
  std::lock_guard lock(mutex_);
  kept_.clear();
}

int ScaledRaster::Renders() const {
  std::lock_guard lock(mutex_);
  return renders_;
}

const MemoryImage24* ScaledRaster::FindLocked(int width, int height) const {
  for (const std::shared_ptr<const MemoryImage24>& image : kept_)
    if (image->Width() == width && image->Height() == height) return image.get();
  return nullptr;
}

void ScaledRaster::KeepLocked(std::shared_ptr<const MemoryImage24> image) const {
  kept_.insert(kept_.begin(), std::move(image));
  if (kept_.size() > kKeptSizes) kept_.pop_back();
}

void ScaledRaster::RenderInto(Image24& target, const Rect& rect) const {
  const std::shared_ptr<MemoryImage24> image = Render(rect.Width(), rect.Height(), nullptr);
  if (!image) throw std::runtime_error("nothing rendered");
  target.Draw(*image, rect.left, rect.top);
}

void ScaledRaster::DrawLocked(Image24& target, const Rect& rect, bool keep) const {
  const int w = rect.Width();
  const int h = rect.Height();
  ++renders_;
  try {
    if (keep && static_cast<long long>(w) * h <= kMaxKeptPixels) {
      std::shared_ptr<MemoryImage24> image = Render(w, h, nullptr);
      if (!image) throw std::runtime_error("nothing rendered");
      target.Draw(*image, rect.left, rect.top);
      KeepLocked(std::move(image));
    } else {
      RenderInto(target, rect);
    }
  } catch (const std::exception&) {  // damaged past the header, or out of memory
    target.FillRect(rect, kBlack);
  }
}

void ScaledRaster::Draw(Image24& target, int x, int y) const {
  std::lock_guard lock(mutex_);
  if (const MemoryImage24* kept = FindLocked(width_, height_)) {
    target.Draw(*kept, x, y);
    return;
  }
  if (x >= target.Width() || y >= target.Height() || x + width_ <= 0 || y + height_ <= 0) return;
  DrawLocked(target, Rect{x, y, x + width_, y + height_}, natural_ == NaturalSize::Keep);
}

void ScaledRaster::StretchDraw(Image24& target, const Rect& rect) const {
  const int w = rect.Width();
  const int h = rect.Height();
  if (w <= 0 || h <= 0) return;
  if (w == width_ && h == height_) {
    Draw(target, rect.left, rect.top);
    return;
  }
  std::lock_guard lock(mutex_);
  if (const MemoryImage24* kept = FindLocked(w, h)) {
    target.Draw(*kept, rect.left, rect.top);
    return;
  }
  DrawLocked(target, rect, true);
}

}  // namespace velmora
