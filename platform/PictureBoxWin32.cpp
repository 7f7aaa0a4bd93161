#include "platform/PictureBoxWin32.h"

#include <algorithm>

namespace velmora {

namespace {
constexpr wchar_t kPictureClass[] = L"VelmoraPicture";
}  // namespace

HWND PictureBox::CreateWindowFor(const ControlSpec& spec, HWND parent, DWORD style, DWORD exStyle) {
  return CreateOwnClassWindow(kPictureClass, spec, parent, style, exStyle);
}
const wchar_t* PictureBox::StandardClass() const { return nullptr; }

void PictureBox::Clear() {
  kind_ = Content::None;
  picture_.reset();
  Invalidate(true);
}

void PictureBox::FillColour(TColor colour) {
  kind_ = Content::Colour;
  fill_ = colour;
  picture_.reset();
  Invalidate(true);
}

void PictureBox::SetGraphic(const Graphic& graphic) {
  const RECT client = ClientRect();
  const int width = std::max<int>(1, client.right);
  const int height = std::max<int>(1, client.bottom);
  auto image = std::make_unique<DibImage>(width, height);
  image->Fill(kWhite);
  graphic.StretchDraw(*image, Rect{0, 0, width, height});
  picture_ = std::move(image);
  kind_ = Content::Picture;
  Invalidate(true);
}

void PictureBox::SetImage(const Image24& image) {
  if (image.Width() <= 0 || image.Height() <= 0) {
    Clear();
    return;
  }
  // A strip slot shows one thumbnail size after another: its section is kept.
  if (!picture_ || picture_->Width() != image.Width() || picture_->Height() != image.Height() ||
      picture_->Dc() == nullptr) {
    picture_ = std::make_unique<DibImage>(image.Width(), image.Height());
  }
  ::GdiFlush();
  std::copy(image.Bits(), image.Bits() + image.ByteSize(), picture_->Bits());
  kind_ = Content::Picture;
  Invalidate(true);
}

void PictureBox::SetBitmap(UniqueBitmap bitmap) {
  BITMAP info{};
  if (!bitmap || ::GetObjectW(bitmap.get(), sizeof(info), &info) == 0 || info.bmWidth <= 0 ||
      info.bmHeight == 0) {
    Clear();
    return;
  }
  const int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  auto copy = std::make_unique<DibImage>(info.bmWidth, height);
  UniqueMemoryDc source(::CreateCompatibleDC(copy->Dc()));
  {
    SelectGuard select(source.get(), bitmap.get());
    ::BitBlt(copy->Dc(), 0, 0, info.bmWidth, height, source.get(), 0, 0, SRCCOPY);
  }
  ::GdiFlush();
  picture_ = std::move(copy);
  kind_ = Content::Picture;
  Invalidate(true);
}

DibImage* PictureBox::Picture() noexcept { return kind_ == Content::Picture ? picture_.get() : nullptr; }

void PictureBox::Refresh() {
  if (Handle() != nullptr) ::RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

bool PictureBox::OnEraseBackground(HDC) { return true; }

bool PictureBox::OnPaint(HDC dc, const RECT&) {
  RECT client = ClientRect();
  switch (kind_) {
    case Content::None:
      ::FillRect(dc, &client, BackgroundBrush());
      break;
    case Content::Colour: {
      UniqueBrush brush(::CreateSolidBrush(ToColorRef(fill_)));
      ::FillRect(dc, &client, brush.get());
      break;
    }
    case Content::Picture:
      if (picture_ && picture_->Dc() != nullptr) {
        ::SetStretchBltMode(dc, HALFTONE);
        ::SetBrushOrgEx(dc, 0, 0, nullptr);
        ::StretchBlt(dc, 0, 0, client.right, client.bottom, picture_->Dc(), 0, 0, picture_->Width(),
                     picture_->Height(), SRCCOPY);
      } else {
        ::FillRect(dc, &client, BackgroundBrush());
      }
      break;
  }
  return true;
}

bool PictureBox::OnMouseDown(MouseButton button, int x, int y, WPARAM keys) {
  // Moves outside the control still arrive while the button is down.
  if (button == MouseButton::Left) ::SetCapture(Handle());
  Control::OnMouseDown(button, x, y, keys);
  return true;
}

bool PictureBox::OnMouseUp(MouseButton button, int x, int y, WPARAM keys) {
  if (button == MouseButton::Left && ::GetCapture() == Handle()) ::ReleaseCapture();
  Control::OnMouseUp(button, x, y, keys);
  return true;
}

}  // namespace velmora
