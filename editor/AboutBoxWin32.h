// The about box, class TAboutBox: a small fixed dialog with the program's
// icon, its name, its version and an OK button.
#pragma once

#include <windows.h>

#include "platform/FormWin32.h"

namespace velmora {

class TAboutBox : public Form {
 public:
  static constexpr const char* kName = "Velmora 99";
  static constexpr const char* kVersion = "Version 2.3";

  // Creates the dialog (hidden), owned by owner (not owned; may be null).
  bool CreateForm(HWND owner);

 protected:
  // Called after the controls exist: puts the program's icon in place.
  void FormCreate() override;
};

// "About" (About1Click): shows the about box modally over owner and frees
// it when the user has closed it.
void ShowAboutBox(HWND owner);

}  // namespace velmora
