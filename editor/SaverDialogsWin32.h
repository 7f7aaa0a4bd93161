// The naming dialog TForm3 (the saver's name for a save) and the clear
// dialog TFormClear (deletes chosen savers from the system directory).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/FormWin32.h"

namespace velmora {

class TForm3 : public Form {
 public:
  TForm3();
  // Creates the dialog owned by `owner`, with `name` (8-bit) in the field.
  bool Create(HWND owner, const std::string& name);
  // Runs the dialog; the confirmed name (8-bit) or nothing (left, or
  // confirmed empty).
  std::optional<std::string> Run();

 protected:
  void FormCreate() override;

 private:
  // OK: an acceptable name closes the dialog, a refused one is explained
  // and the dialog stays open.
  void BitBtn1Click();

  std::optional<std::string> confirmed_;
};

class TFormClear : public Form {
 public:
  TFormClear();
  bool Create(HWND owner);
  // Fills the list from the system directory and shows the dialog modally.
  void Run();

  // The saver names in the system directory (SystemDir), in search order.
  static std::vector<std::wstring> ListSavers();

 protected:
  void FormCreate() override;

 private:
  void FillList();
  // Deletes the selected savers' two files; a saver whose file exists but
  // cannot be deleted stays listed, and the user is told.
  void BitBtn1Click();
};

}  // namespace velmora
