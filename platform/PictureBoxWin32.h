// The picture control: a window of our own class showing nothing, a colour
// or a picture stretched over it.
#pragma once

#include <windows.h>

#include <memory>

#include "platform/ControlBaseWin32.h"
#include "platform/DibImageWin32.h"

namespace velmora {

// A picture control of our own class: empty (the parent's background), a
// solid colour, or a picture stretched to the client area (HALFTONE). Mouse
// events carry client coordinates; it captures the mouse while the left
// button is down, as a press that becomes a drag needs.
class PictureBox : public Control {
 public:
  // Empties the picture; the control shows its parent's background.
  void Clear();
  bool Empty() const noexcept { return kind_ == Content::None; }
  // Fills the whole client area with one colour.
  void FillColour(TColor colour);
  // Keeps a copy of `graphic` drawn stretched over the client area.
  // Metafiles and icons draw on white.
  void SetGraphic(const Graphic& graphic);
  // Keeps a copy of `image`, stretched over the client area when painted.
  void SetImage(const Image24& image);
  // Takes a bitmap (a DIB section or device-dependent bitmap); shown
  // stretched. Owned from now on.
  void SetBitmap(UniqueBitmap bitmap);
  // The picture held, at its own size (for a colour: the client size); the
  // caller may draw on it and then call Refresh. nullptr when empty.
  DibImage* Picture() noexcept;
  // Repaints at once, without waiting for the message loop (the editor
  // clears a slot's picture and shows it cleared before loading the next).
  void Refresh();

 protected:
  HWND CreateWindowFor(const ControlSpec& spec, HWND parent, DWORD style, DWORD exStyle) override;
  const wchar_t* StandardClass() const override;
  bool OnPaint(HDC dc, const RECT& area) override;
  bool OnEraseBackground(HDC dc) override;
  bool OnMouseDown(MouseButton button, int x, int y, WPARAM keys) override;
  bool OnMouseUp(MouseButton button, int x, int y, WPARAM keys) override;

 private:
  enum class Content { None, Colour, Picture };
  Content kind_ = Content::None;
  TColor fill_ = 0;
  std::unique_ptr<DibImage> picture_;
};

}  // namespace velmora
