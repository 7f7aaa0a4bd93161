#include "saver/ScrnWin32.h"

#include "app/Startup.h"

namespace velmora {

TScrn::~TScrn() = default;

HWND TScrn::CreateForm() {
  WindowClass windowClass;
  windowClass.name = L"VelmoraScrn";
  windowClass.background = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  WindowCreateParams params;
  params.title = L"Scrn";
  params.style = WS_POPUP;
  params.x = 0;
  params.y = 0;
  params.width = ::GetSystemMetrics(SM_CXSCREEN);
  params.height = ::GetSystemMetrics(SM_CYSCREEN);
  firstActivation_ = true;
  return Create(windowClass, params);
}

void TScrn::StartPreview(int, int) {
  // With no show to play the timer still runs: it is what notices that the
  // host has gone.
  StartTimer(kTimer1, kTimer1IntervalMs);
}

LRESULT TScrn::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case TickMessage:
      return 0;
    case ExitMessage:
      Close();
      return 0;
    default:
      return Window::HandleMessage(message, wParam, lParam);
  }
}

void TScrn::OnActivate(bool active) {
  if (!active || !firstActivation_ || Mode == SaverMode::Preview) return;
  firstActivation_ = false;
  ::SetWindowPos(Handle(), Mode == SaverMode::Configure ? HWND_TOP : HWND_TOPMOST, 0, 0,
                 ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), SWP_SHOWWINDOW);
  ::SetCapture(Handle());
  captured_ = true;
}

bool TScrn::OnKeyDown(UINT, LPARAM) {
  if (Mode != SaverMode::Preview) LeaveRequest();
  return true;
}

bool TScrn::OnMouseDown(MouseButton, int, int, WPARAM) {
  if (Mode != SaverMode::Preview) LeaveRequest();
  return true;
}

bool TScrn::OnTimer(UINT_PTR id) {
  if (id != kTimer1) return false;
  if (!::IsWindowVisible(reinterpret_cast<HWND>(PreviewParent))) {
    StopTimer(kTimer1);
    LeaveRequest();
  }
  return true;
}

void TScrn::LeaveRequest() {
  ExitRequested = true;
  Post(ExitMessage);
}

CloseAction TScrn::OnClose() {
  StopTimer(kTimer1);
  if (captured_) {
    ::ReleaseCapture();
    captured_ = false;
  }
  return CloseAction::Destroy;
}

}  // namespace velmora
