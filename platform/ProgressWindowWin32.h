// A small window owned by a form that counts work in progress ("n / total")
// and offers a Cancel button. The work runs on the UI thread and calls Step
// after each item; Step lets pending messages run, so the button can be
// pressed, and the work stops after the current item when Cancelled says so.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/FormWin32.h"

namespace velmora {

class ProgressWindow : public Form {
 public:
  ProgressWindow() = default;
  ~ProgressWindow() override;

  // Creates and shows the window centred over `owner` (not owned), which is
  // disabled until Finish. `textUtf8` is put before the count.
  bool Start(HWND owner, std::string_view textUtf8, int total);
  // Shows "text n / total" and handles the messages waiting.
  void Step(int done);
  bool Cancelled() const noexcept { return cancelled_; }
  // Hides the window and enables the owner again (also on destruction).
  void Finish();

  // The text the label shows for a count (for tests).
  std::wstring CountText(int done) const;

 protected:
  void FormCreate() override;
  bool OnCloseQuery() override;

 private:
  std::wstring text_;
  int total_ = 0;
  bool cancelled_ = false;
  HWND owner_ = nullptr;  // not owned
  bool ownerDisabled_ = false;
};

}  // namespace velmora
