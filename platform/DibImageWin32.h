// 24-bit images as top-down DIB sections, each selected into a memory DC of
// its own, so that the same pixels are both rows in memory (Image24) and a
// GDI drawing surface (metafiles, icons, BitBlt and StretchBlt sources).
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "fade/Graphics.h"
#include "platform/HandlesWin32.h"

namespace velmora {

class DibImage final : public Image24 {
 public:
  DibImage();
  DibImage(int width, int height);
  ~DibImage() override;
  DibImage(const DibImage&) = delete;
  DibImage& operator=(const DibImage&) = delete;

  // Makes a new section (pixels undefined); throws std::bad_alloc when GDI
  // cannot. A size of 0 leaves the image without a section.
  void SetSize(int width, int height) override;
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  std::uint8_t* Bits() override { return bits_; }
  const std::uint8_t* Bits() const override { return bits_; }

  // The memory DC holding the section (nullptr while the image is empty).
  // GDI may batch drawing: call GdiFlush() before reading or writing the
  // rows after drawing through it.
  HDC Dc() const { return bits_ ? dc_.get() : nullptr; }
  HBITMAP Bitmap() const { return bitmap_.get(); }

 private:
  void Release();

  UniqueMemoryDc dc_;
  UniqueBitmap bitmap_;
  HGDIOBJ oldBitmap_ = nullptr;  // the DC's own bitmap, put back before the section goes
  std::uint8_t* bits_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

class DibImageFactory final : public ImageFactory {
 public:
  std::unique_ptr<Image24> CreateImage() override { return std::make_unique<DibImage>(); }
};

// Lets GDI draw on any Image24: straight through the DC of a DibImage, else
// on a DibImage holding a copy of target's pixels, copied back afterwards
// (so drawing that covers only part keeps the rest). draw gets the DC, in
// HALFTONE stretching mode with the brush origin at (0, 0).
void DrawWithGdi(Image24& target, const std::function<void(HDC)>& draw);

}  // namespace velmora
