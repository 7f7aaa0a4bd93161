// A plain main window for the configure mode, standing in for the editor's
// main window: it shows the program's title and closing it ends the program.
#pragma once

#include "platform/WindowWin32.h"

namespace velmora {

class PlaceholderMain : public Window {
 public:
  // Creates the window, not yet shown (the application shows its main form).
  HWND CreateForm();
};

}  // namespace velmora
