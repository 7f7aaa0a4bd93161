// Enhanced metafiles (.emf) and old-style metafiles (.wmf, placeable or
// not), held as one enhanced metafile and played with GDI.
//
// Natural size: an EMF's frame (hundredths of a millimetre) at the screen's
// resolution (its bounds in device pixels when the frame is empty). A
// placeable WMF's bounding box in its units-per-inch, at the screen's
// resolution. A WMF without the placeable header carries no size: it takes
// the proportions of its window extent, 512 pixels on the longer side (512 x
// 512 when it sets no extent).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fade/Graphics.h"

namespace velmora {

class MetafileGraphic final : public Graphic {
 public:
  // EMF or WMF data, told apart by content; throws EPictureError naming `name`.
  static std::shared_ptr<const MetafileGraphic> FromBytes(const std::vector<std::uint8_t>& bytes,
                                                          const std::string& name);
  static std::shared_ptr<const MetafileGraphic> FromFile(const std::string& path);

  // Takes ownership of metafile.
  MetafileGraphic(HENHMETAFILE metafile, int width, int height);
  ~MetafileGraphic() override;
  MetafileGraphic(const MetafileGraphic&) = delete;
  MetafileGraphic& operator=(const MetafileGraphic&) = delete;

  GraphicKind Kind() const override { return GraphicKind::Metafile; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  // Plays the metafile: only its own marks change the target.
  void Draw(Image24& target, int x, int y) const override;
  void StretchDraw(Image24& target, const Rect& rect) const override;

  HENHMETAFILE Handle() const { return metafile_; }

 private:
  HENHMETAFILE metafile_;
  int width_;
  int height_;
};

// Size in pixels of a placeable WMF's bounding box at dpi dots an inch, read
// from its 22-byte header; false when bytes do not start with one.
bool PlaceableWmfSize(const std::vector<std::uint8_t>& bytes, int dpi, int& width, int& height);

}  // namespace velmora
