#include "platform/MetafileGraphicWin32.h"

#include <algorithm>
#include <cstring>

#include "fade/PictureLoader.h"
#include "platform/DibImageWin32.h"

namespace velmora {
namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::size_t kPlaceableHeaderSize = 22;
constexpr int kDefaultSide = 512;

std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint16_t(b[at] | b[at + 1] << 8);
}
std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint32_t(U16(b, at)) | std::uint32_t(U16(b, at + 2)) << 16;
}

// Wraps a new metafile handle, which is deleted if the wrapping fails.
std::shared_ptr<const MetafileGraphic> Wrap(HENHMETAFILE emf, int width, int height) {
  try {
    return std::make_shared<const MetafileGraphic>(emf, width, height);
  } catch (...) {
    ::DeleteEnhMetaFile(emf);
    throw;
  }
}

int ScreenDpi() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSX) : 96;
  if (screen) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

bool IsEmf(const std::vector<std::uint8_t>& b) {
  return b.size() >= 88 && U32(b, 0) == EMR_HEADER && U32(b, 40) == ENHMETA_SIGNATURE;
}

// The window extent a WMF sets (META_SETWINDOWEXT: y then x), if any.
bool WmfWindowExtent(const std::vector<std::uint8_t>& b, std::size_t start, int& cx, int& cy) {
  if (b.size() < start + 18) return false;
  const std::size_t headerWords = U16(b, start + 2);
  std::size_t at = start + headerWords * 2;
  while (at + 6 <= b.size()) {
    const std::uint32_t words = U32(b, at);
    const std::uint16_t function = U16(b, at + 4);
    if (words < 3 || words > (b.size() - at) / 2) return false;
    if (function == 0x020C && words >= 5) {  // META_SETWINDOWEXT
      cy = std::abs(std::int16_t(U16(b, at + 6)));
      cx = std::abs(std::int16_t(U16(b, at + 8)));
      return cx > 0 && cy > 0;
    }
    if (function == 0) return false;  // end of file
    at += std::size_t(words) * 2;
  }
  return false;
}

void ClampSize(int& width, int& height) {
  width = std::clamp(width, 1, 16384);
  height = std::clamp(height, 1, 16384);
}

}  // namespace

bool PlaceableWmfSize(const std::vector<std::uint8_t>& bytes, int dpi, int& width, int& height) {
  if (bytes.size() < kPlaceableHeaderSize || U32(bytes, 0) != kPlaceableKey) return false;
  const int left = std::int16_t(U16(bytes, 6));
  const int top = std::int16_t(U16(bytes, 8));
  const int right = std::int16_t(U16(bytes, 10));
  const int bottom = std::int16_t(U16(bytes, 12));
  int inch = U16(bytes, 14);
  if (inch == 0) inch = 1440;  // twips, the usual unit
  width = ::MulDiv(std::abs(right - left), dpi, inch);
  height = ::MulDiv(std::abs(bottom - top), dpi, inch);
  return true;
}

std::shared_ptr<const MetafileGraphic> MetafileGraphic::FromBytes(const std::vector<std::uint8_t>& bytes,
                                                                  const std::string& name) {
  auto fail = [&](const char* what) { return EPictureError(name + ": not a readable metafile (" + what + ")"); };
  if (bytes.size() > 0x7FFFFFFF) throw fail("too large");

  if (IsEmf(bytes)) {
    HENHMETAFILE emf = ::SetEnhMetaFileBits(UINT(bytes.size()), bytes.data());
    if (!emf) throw fail("damaged enhanced metafile");
    ENHMETAHEADER header{};
    ::GetEnhMetaFileHeader(emf, sizeof header, &header);
    const RECTL& frame = header.rclFrame;
    // The frame is in hundredths of a millimetre; shown at the screen's
    // resolution, whatever device the metafile was recorded for.
    const int dpi = ScreenDpi();
    int width = ::MulDiv(frame.right - frame.left, dpi, 2540);
    int height = ::MulDiv(frame.bottom - frame.top, dpi, 2540);
    if (width <= 0 || height <= 0) {
      width = header.rclBounds.right - header.rclBounds.left + 1;
      height = header.rclBounds.bottom - header.rclBounds.top + 1;
    }
    ClampSize(width, height);
    return Wrap(emf, width, height);
  }

  // Old-style metafile, with or without the placeable header in front.
  const int dpi = ScreenDpi();
  int width = 0, height = 0;
  const bool placeable = PlaceableWmfSize(bytes, dpi, width, height);
  const std::size_t start = placeable ? kPlaceableHeaderSize : 0;
  if (bytes.size() < start + 18) throw fail("cut short");
  const std::uint16_t type = U16(bytes, start);
  const std::uint16_t headerWords = U16(bytes, start + 2);
  if ((type != 1 && type != 2) || headerWords != 9) throw fail("unknown format");

  METAFILEPICT picture{};
  picture.mm = MM_ANISOTROPIC;
  if (!placeable) {
    int cx = 0, cy = 0;
    if (WmfWindowExtent(bytes, start, cx, cy)) {
      width = cx >= cy ? kDefaultSide : std::max(1, ::MulDiv(kDefaultSide, cx, cy));
      height = cy >= cx ? kDefaultSide : std::max(1, ::MulDiv(kDefaultSide, cy, cx));
    } else {
      width = height = kDefaultSide;
    }
  }
  ClampSize(width, height);
  picture.xExt = ::MulDiv(width, 2540, dpi);  // hundredths of a millimetre
  picture.yExt = ::MulDiv(height, 2540, dpi);
  HENHMETAFILE emf = ::SetWinMetaFileBits(UINT(bytes.size() - start), bytes.data() + start, nullptr, &picture);
  if (!emf) throw fail("damaged metafile");
  return Wrap(emf, width, height);
}

std::shared_ptr<const MetafileGraphic> MetafileGraphic::FromFile(const std::string& path) {
  return FromBytes(ReadPictureFile(path), path);
}

MetafileGraphic::MetafileGraphic(HENHMETAFILE metafile, int width, int height)
    : metafile_(metafile), width_(width), height_(height) {}

MetafileGraphic::~MetafileGraphic() {
  if (metafile_) ::DeleteEnhMetaFile(metafile_);
}

void MetafileGraphic::Draw(Image24& target, int x, int y) const {
  StretchDraw(target, Rect{x, y, x + width_, y + height_});
}

void MetafileGraphic::StretchDraw(Image24& target, const Rect& rect) const {
  if (rect.Width() <= 0 || rect.Height() <= 0) return;
  DrawWithGdi(target, [&](HDC dc) {
    const RECT r{rect.left, rect.top, rect.right, rect.bottom};
    ::PlayEnhMetaFile(dc, metafile_, &r);
  });
}

}  // namespace velmora
