// Icons (.ico): the largest image the file holds (the most colours among
// equal sizes), drawn with DrawIconEx, its mask keeping what lies beneath.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fade/Graphics.h"
#include "platform/HandlesWin32.h"

namespace velmora {

class IconGraphic final : public Graphic {
 public:
  // Throws EPictureError naming `name` when bytes hold no usable icon.
  static std::shared_ptr<const IconGraphic> FromBytes(const std::vector<std::uint8_t>& bytes,
                                                      const std::string& name);
  static std::shared_ptr<const IconGraphic> FromFile(const std::string& path);

  IconGraphic(UniqueIcon icon, int width, int height);

  GraphicKind Kind() const override { return GraphicKind::Icon; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void Draw(Image24& target, int x, int y) const override;
  void StretchDraw(Image24& target, const Rect& rect) const override;

  HICON Handle() const { return icon_.get(); }

 private:
  UniqueIcon icon_;
  int width_;
  int height_;
};

}  // namespace velmora
