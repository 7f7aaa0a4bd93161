// A picture decoded through the Windows imaging component: PNG, GIF, TIFF,
// and the kinds the system has extensions for (HEIC/HEIF, WebP, JPEG XR).
//
// Loading reads the file, refuses a picture larger than
// kMaxSystemDecodedPixels from its header before any decoder sees it (and
// again from the decoder's own frame size), and reads the size and the EXIF
// orientation; it keeps the file's bytes. Each draw opens a decoder on them,
// takes the first frame's pixels and releases decoder and frame at once.
// Drawing scaled asks the codec for a reduced decode (its source transform)
// or uses the thumbnail the file carries when either still covers the
// rectangle, and otherwise decodes whole; the result is resampled into the
// rectangle as the other raster pictures are. The results of the last few
// sizes drawn or prepared, the natural size among them, are kept for drawing
// the same size again (see ScaledRaster). The codec cannot be stopped part
// way: a cancelled prepare gives up before or after its decode.
//
// Transparent pixels are composited over black. An animated GIF shows its
// first frame, placed on its logical screen. Pictures are turned upright by
// their orientation tag: a TIFF's read from its header, HEIC's and the other
// containers' through the imaging component's metadata. COM is initialised (apartment
// threaded) on each thread that loads or draws such a picture, and stays so
// for the thread's life.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fade/Graphics.h"
#include "fade/ScaledRaster.h"

namespace velmora {

class WicGraphic final : public ScaledRaster {
 public:
  // Where the pixels of the last render came from; for tests.
  enum class Route { None, Whole, Reduced, Thumbnail };

  // The picture's layout as loading reads it.
  struct Layout {
    int canvasWidth = 0;  // the frame's size, or a GIF's logical screen
    int canvasHeight = 0;
    int frameLeft = 0;  // where the first frame lies on the canvas
    int frameTop = 0;
    int frameWidth = 0;
    int frameHeight = 0;
    int orientation = 1;  // EXIF orientation 1..8
  };

  // Throws EPictureError naming `name` when the data is too large, is of a
  // kind this system cannot decode, or cannot be read.
  static std::shared_ptr<const WicGraphic> FromBytes(std::vector<std::uint8_t> bytes, const std::string& name);
  static std::shared_ptr<const WicGraphic> FromFile(const std::string& path);

  // The size shown (Width, Height) is the canvas turned upright.
  WicGraphic(std::vector<std::uint8_t> bytes, std::string name, const Layout& layout);

  const Layout& GetLayout() const { return layout_; }
  Route LastRoute() const;

 private:
  std::shared_ptr<MemoryImage24> Render(int width, int height, const std::atomic<bool>* cancel) const override;
  void RenderInto(Image24& target, const Rect& rect) const override;

  // The picture upright, at least wanted x wanted (upright sides) when a
  // reduced source allows it, else at full size; throws EPictureError.
  MemoryImage24 Decode(int wantedWidth, int wantedHeight) const;

  std::vector<std::uint8_t> bytes_;
  std::string name_;
  Layout layout_;
  mutable Route lastRoute_ = Route::None;  // guarded by Guard()
};

}  // namespace velmora
