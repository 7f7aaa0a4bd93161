#include "app/PlaceholderMainWin32.h"

#include "app/StartupWin32.h"

namespace velmora {

HWND PlaceholderMain::CreateForm() {
  WindowClass windowClass;
  windowClass.name = L"VelmoraPlaceholderMain";
  windowClass.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
  windowClass.background = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  WindowCreateParams params;
  params.title = kProgramTitle;
  params.style = WS_OVERLAPPEDWINDOW;
  params.width = 640;
  params.height = 480;
  return Create(windowClass, params);
}

}  // namespace velmora
