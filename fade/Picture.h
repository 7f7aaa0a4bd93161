// The picture holder of the transition component: nothing, or one loaded
// graphic (raster, metafile or icon). Graphics are immutable once loaded, so
// holders share them; "copying a picture" copies the reference.
#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "fade/Graphics.h"

namespace velmora {

class TPicture {
 public:
  TPicture() = default;
  explicit TPicture(std::shared_ptr<const Graphic> graphic) : graphic_(std::move(graphic)) {}
  // A copy takes the graphic only; the change notification stays behind.
  TPicture(const TPicture& other) : graphic_(other.graphic_) {}
  TPicture& operator=(const TPicture& other) {
    Assign(other);
    return *this;
  }
  ~TPicture() = default;

  const std::shared_ptr<const Graphic>& GetGraphic() const { return graphic_; }
  bool Empty() const { return graphic_ == nullptr; }
  bool HasGraphic() const { return graphic_ != nullptr; }
  // Natural size of the graphic; 0 x 0 when empty.
  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }

  // Each of these replaces the content and then notifies, also when the new
  // content happens to be the old one (assigning always counts as a change).
  void SetGraphic(std::shared_ptr<const Graphic> graphic);
  void Assign(const TPicture& other) { SetGraphic(other.graphic_); }
  void Clear() { SetGraphic(nullptr); }

  // Called after every change of content.
  std::function<void()> OnChange;

 private:
  std::shared_ptr<const Graphic> graphic_;
};

}  // namespace velmora
