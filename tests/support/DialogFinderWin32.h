// Finding the program's dialogs and message boxes as a user sees them: by
// title, by a box's text, by a button's caption.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace velmora::test {

// The visible top-level windows of the calling thread.
std::vector<HWND> ThreadWindows();
// The window among `windows` titled `title`, or nullptr.
HWND FindTitled(const std::vector<HWND>& windows, const std::wstring& title);
// The message box among `windows` whose text control exists (Wine makes it
// after the box), its text in `text` when given; or nullptr.
HWND FindMessageBox(const std::vector<HWND>& windows, std::wstring* text = nullptr);
// A visible descendant of `parent` with that text (a button's caption), or nullptr.
HWND ChildWithText(HWND parent, const std::wstring& text);

}  // namespace velmora::test
