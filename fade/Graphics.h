// The drawing vocabulary shared by the transition component, the pictures it
// shows and the platform that puts them on screen. Nothing here includes
// <windows.h>: the Win32 layer implements these interfaces with DIB sections
// and GDI, the native build and the tests with plain memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace velmora {

// A colour in the Windows form: red, green, blue in the three low bytes (red
// lowest) with high byte 0, or high byte 0x80 and a system-colour index.
using TColor = std::uint32_t;

constexpr TColor kBlack = 0x000000;
constexpr TColor kWhite = 0xFFFFFF;
constexpr TColor kButtonFace = 0x8000000F;
constexpr TColor kButtonShadow = 0x80000010;

// Resolves a system colour to plain RGB. The portable default uses the
// classic Windows palette; the Win32 layer installs GetSysColor.
using SystemColorResolver = TColor (*)(int index);
void SetSystemColorResolver(SystemColorResolver resolver);
TColor ColorToRGB(TColor color);

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// A 24-bit image: three bytes a pixel in the order blue, green, red, each row
// padded to a multiple of 4 bytes, row 0 at the top (Bits() points at it).
class Image24 {
 public:
  virtual ~Image24() = default;

  // Gives the image a new size. The pixels are undefined afterwards.
  virtual void SetSize(int width, int height) = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual std::uint8_t* Bits() = 0;
  virtual const std::uint8_t* Bits() const = 0;

  static int StrideFor(int width) { return ((width * 3 + 3) / 4) * 4; }
  int Stride() const { return StrideFor(Width()); }
  std::size_t ByteSize() const { return std::size_t(Stride()) * std::size_t(Height()); }
  std::uint8_t* Row(int y) { return Bits() + std::size_t(y) * std::size_t(Stride()); }
  const std::uint8_t* Row(int y) const { return Bits() + std::size_t(y) * std::size_t(Stride()); }

  // Fills every pixel with the colour (system colours resolved).
  void Fill(TColor color);
  // Fills the part of rect that lies inside the image.
  void FillRect(const Rect& rect, TColor color);
  // Copies src unscaled with its top-left corner at (x, y), clipped to this image.
  void Draw(const Image24& src, int x, int y);
  // The colour of one pixel, in TColor form (for tests and tools).
  TColor PixelAt(int x, int y) const;
};

// Plain memory image, used by the native build, the tools and the tests.
class MemoryImage24 final : public Image24 {
 public:
  MemoryImage24() = default;
  MemoryImage24(int width, int height) { SetSize(width, height); }

  void SetSize(int width, int height) override;
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  std::uint8_t* Bits() override { return pixels_.data(); }
  const std::uint8_t* Bits() const override { return pixels_.data(); }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> pixels_;
};

// Makes the images the component works on (DIB sections on Windows).
class ImageFactory {
 public:
  virtual ~ImageFactory() = default;
  virtual std::unique_ptr<Image24> CreateImage() = 0;
};

class MemoryImageFactory final : public ImageFactory {
 public:
  std::unique_ptr<Image24> CreateImage() override { return std::make_unique<MemoryImage24>(); }
};

enum class GraphicKind { Raster, Metafile, Icon };

// A loaded picture: immutable once loaded, so holders share it.
class Graphic {
 public:
  virtual ~Graphic() = default;
  virtual GraphicKind Kind() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Draws at natural size with the top-left corner at (x, y). Metafiles and
  // icons draw only their own marks over what the target holds.
  virtual void Draw(Image24& target, int x, int y) const = 0;
  // Draws scaled into rect (which may reach outside the target; clipped).
  virtual void StretchDraw(Image24& target, const Rect& rect) const = 0;
};

}  // namespace velmora
