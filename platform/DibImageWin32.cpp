#include "platform/DibImageWin32.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace velmora {

DibImage::DibImage() : dc_(::CreateCompatibleDC(nullptr)) {
  if (!dc_) throw std::bad_alloc();
}

DibImage::DibImage(int width, int height) : DibImage() { SetSize(width, height); }

DibImage::~DibImage() { Release(); }

void DibImage::Release() {
  if (bitmap_) {
    ::SelectObject(dc_.get(), oldBitmap_);
    bitmap_.reset();
  }
  oldBitmap_ = nullptr;
  bits_ = nullptr;
  width_ = height_ = 0;
}

void DibImage::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (bits_ && width == width_ && height == height_) return;
  Release();
  if (width == 0 || height == 0) {
    width_ = width;
    height_ = height;
    return;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down: row 0 is the top row, first in memory
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueBitmap bitmap(::CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || !bits) throw std::bad_alloc();
  oldBitmap_ = ::SelectObject(dc_.get(), bitmap.get());
  bitmap_ = std::move(bitmap);
  bits_ = static_cast<std::uint8_t*>(bits);
  width_ = width;
  height_ = height;
}

namespace {

void PrepareDc(HDC dc) {
  ::SetStretchBltMode(dc, HALFTONE);
  ::SetBrushOrgEx(dc, 0, 0, nullptr);
}

}  // namespace

void DrawWithGdi(Image24& target, const std::function<void(HDC)>& draw) {
  if (target.Width() <= 0 || target.Height() <= 0) return;
  if (auto* dib = dynamic_cast<DibImage*>(&target)) {
    const int saved = ::SaveDC(dib->Dc());
    PrepareDc(dib->Dc());
    draw(dib->Dc());
    ::RestoreDC(dib->Dc(), saved);
    ::GdiFlush();
    return;
  }
  DibImage copy(target.Width(), target.Height());
  std::memcpy(copy.Bits(), target.Bits(), target.ByteSize());
  PrepareDc(copy.Dc());
  draw(copy.Dc());
  ::GdiFlush();
  std::memcpy(target.Bits(), copy.Bits(), target.ByteSize());
}

}  // namespace velmora
