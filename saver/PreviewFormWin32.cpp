#include "saver/PreviewFormWin32.h"

#include <windows.h>

#include "app/Random.h"
#include "fade/BmpGraphic.h"
#include "fade/MorfFade.h"
#include "frames/FrameList.h"
#include "platform/ApplicationWin32.h"
#include "platform/DibImageWin32.h"
#include "platform/HandlesWin32.h"

namespace velmora {
namespace {

// The pixels of a DIB section as a picture the component can hold.
std::shared_ptr<const Graphic> PictureOf(const DibImage& image) {
  ::GdiFlush();
  MemoryImage24 copy(image.Width(), image.Height());
  copy.Draw(image, 0, 0);
  return std::make_shared<const BmpGraphic>(std::move(copy));
}

}  // namespace

TForm2::TForm2(int currentIndex, int nextIndex) : currentIndex_(currentIndex), nextIndex_(nextIndex) {}

TForm2::~TForm2() {
  sequence_.reset();
  morfFade2_.reset();
  morfFade1_.reset();
  if (pointerHidden_) ::ShowCursor(TRUE);
}

HWND TForm2::CreateForm(HWND owner) {
  if (!TheFrameList) return nullptr;
  WindowClass windowClass;
  windowClass.name = kClassName;
  windowClass.background = nullptr;  // OnPaint paints everything
  WindowCreateParams params;
  params.title = L"Form2";
  params.style = WS_POPUP;
  params.x = 0;
  params.y = 0;
  params.width = ::GetSystemMetrics(SM_CXSCREEN);
  params.height = ::GetSystemMetrics(SM_CYSCREEN);
  params.parent = owner;
  HWND window = Create(windowClass, params);
  if (window == nullptr) return nullptr;
  // FormCreate.
  firstActivation_ = true;
  morfFade1_ = std::make_unique<MorfFadeControl>(window);
  morfFade2_ = std::make_unique<MorfFadeControl>(window);
  morfFade2_->BringToFront();
  sequence_ = std::make_unique<PreviewSequence>(*TheFrameList, currentIndex_, nextIndex_, morfFade1_->Fade(),
                                                morfFade2_->Fade(), static_cast<PreviewHost&>(*this));
  return window;
}

LRESULT TForm2::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SYSKEYDOWN:  // Alt and F10 are keys too; Alt+F4 does not close
      OnKeyDown(UINT(wParam), lParam);
      return 0;
    case WM_SYSKEYUP:
      OnKeyUp(UINT(wParam), lParam);
      return 0;
    default:
      break;
  }
  return Window::HandleMessage(message, wParam, lParam);
}

void TForm2::OnActivate(bool active) {
  if (!active || !firstActivation_ || !sequence_) return;
  firstActivation_ = false;
  const int width = ::GetSystemMetrics(SM_CXSCREEN);
  const int height = ::GetSystemMetrics(SM_CYSCREEN);
  ::SetWindowPos(Handle(), nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  sequence_->Start(width, height);
  Show(SW_SHOW);
  StartTimer(kTimer1, kTimer1IntervalMs);
  if (!pointerHidden_) {
    ::ShowCursor(FALSE);
    pointerHidden_ = true;
  }
}

bool TForm2::OnTimer(UINT_PTR id) {
  if (id != kTimer1 || !sequence_) return false;
  sequence_->Tick();
  if (closePending_) CloseWhenIdle();
  return true;
}

bool TForm2::OnKeyDown(UINT virtualKey, LPARAM flags) {
  // Bit 30: the key was down before this message (a repeat).
  if (sequence_) sequence_->KeyDown(virtualKey, (flags & (LPARAM(1) << 30)) != 0);
  return true;
}

bool TForm2::OnKeyUp(UINT virtualKey, LPARAM) {
  if (!sequence_ || !sequence_->KeyUp(virtualKey)) return true;
  StopTimer(kTimer1);
  closePending_ = true;
  CloseWhenIdle();
  return true;
}

void TForm2::CloseWhenIdle() {
  // A key released in the middle of a run: the run stops at its next step,
  // and the close follows when the timer's step has returned.
  if (sequence_ && sequence_->Busy()) return;
  closePending_ = false;
  Close();
}

bool TForm2::OnCloseQuery() {
  if (sequence_ && sequence_->Busy()) {
    closePending_ = true;
    morfFade1_->Fade().StopRequested = true;
    morfFade2_->Fade().StopRequested = true;
    return false;
  }
  return true;
}

CloseAction TForm2::OnClose() {
  StopTimer(kTimer1);
  if (pointerHidden_) {
    ::ShowCursor(TRUE);
    pointerHidden_ = false;
  }
  if (morfFade1_) {
    morfFade1_->Fade().PicFrom().Clear();
    morfFade1_->Fade().PicTo().Clear();
  }
  return CloseAction::Hide;
}

bool TForm2::OnEraseBackground(HDC) { return true; }

bool TForm2::OnPaint(HDC dc, const RECT& area) {
  PaintFadeControls(Handle(), dc, area, kBlack);
  return true;
}

std::int64_t TForm2::NowMillis() { return std::int64_t(::GetTickCount64()); }

void TForm2::PrepareHint(TMorfFade& hint) {
  // The text: Arial, 26 points, bold, white, centred.
  const std::wstring text = WidenUtf8(kPreviewHint);
  UniqueFont font;
  SIZE extent{};
  {
    WindowDc screen(nullptr);
    const int pixels = -::MulDiv(26, ::GetDeviceCaps(screen.get(), LOGPIXELSY), 72);
    font.reset(::CreateFontW(pixels, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Arial"));
    SelectGuard selected(screen.get(), font.get());
    ::GetTextExtentPoint32W(screen.get(), text.c_str(), int(text.size()), &extent);
  }
  // Where Arial is missing a wider face stands in: the hint grows to the
  // left so that the text is never cut.
  if (extent.cx + 8 > hint.Width()) {
    const int width = int(extent.cx) + 8;
    hint.SetBounds(hint.Left() + hint.Width() - width, hint.Top(), width, hint.Height());
  }
  const int width = hint.Width();
  const int height = hint.Height();
  DibImage image(width, height);
  if (image.Dc() == nullptr) throw std::runtime_error("no memory for the hint");
  // The screen under the hint's place.
  POINT origin{hint.Left(), hint.Top()};
  ::ClientToScreen(Handle(), &origin);
  {
    WindowDc screen(nullptr);
    ::BitBlt(image.Dc(), 0, 0, width, height, screen.get(), origin.x, origin.y, SRCCOPY);
  }
  hint.SetPicFrom(PictureOf(image));
  {
    SelectGuard selected(image.Dc(), font.get());
    ::SetBkMode(image.Dc(), TRANSPARENT);
    ::SetTextColor(image.Dc(), RGB(255, 255, 255));
    ::TextOutW(image.Dc(), (width - extent.cx) / 2, (height - extent.cy) / 2, text.c_str(), int(text.size()));
  }
  hint.SetPicTo(PictureOf(image));
}

void TForm2::LogError(const std::string& message) {
  ::OutputDebugStringW((L"Velmora: " + WidenUtf8(message) + L"\n").c_str());
}

void ShowCurrentEffectPreview(int currentIndex, int nextIndex, HWND owner) {
  Randomize();
  if (!TheFrameList || TheFrameList->Count() < 4) return;
  const int count = int(TheFrameList->Count());
  if (currentIndex < 1 || currentIndex >= count - 1) return;
  TForm2 form(currentIndex, nextIndex);
  if (form.CreateForm(owner != nullptr ? owner : Application::Instance().Handle()) != nullptr) form.ShowModal();
}

}  // namespace velmora
