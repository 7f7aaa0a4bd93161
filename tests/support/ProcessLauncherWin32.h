// Helpers for tests that start the program under test (VELMORA.EXE, given by
// the VELMORA_EXE environment variable) as another process: copies of it
// under other names, starting and ending processes, finding their windows
// and reading the screen.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace velmora::test {

// The program under test as a Windows path; empty when VELMORA_EXE is unset.
std::wstring ProgramUnderTest();
std::wstring SystemDirectory();

// A fresh directory under the temporary directory, removed with its files.
class TempDirectory {
 public:
  TempDirectory();
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;
  ~TempDirectory();
  const std::wstring& Path() const { return path_; }

 private:
  std::wstring path_;
};

// A copy of the program under test named `name` in `directory`; deleted when
// this object goes (retrying while a process still holds it).
class ProgramCopy {
 public:
  ProgramCopy(const std::wstring& directory, const std::wstring& name);
  ProgramCopy(const ProgramCopy&) = delete;
  ProgramCopy& operator=(const ProgramCopy&) = delete;
  ~ProgramCopy();
  bool ok() const { return ok_; }
  const std::wstring& Path() const { return path_; }

 private:
  std::wstring path_;
  bool ok_ = false;
};

// One started process. Whatever is still running when the object goes is
// terminated.
class LaunchedProcess {
 public:
  LaunchedProcess() = default;
  LaunchedProcess(const LaunchedProcess&) = delete;
  LaunchedProcess& operator=(const LaunchedProcess&) = delete;
  ~LaunchedProcess();

  // Starts `exePath` with the command line `"exePath" arguments`.
  bool Start(const std::wstring& exePath, const std::wstring& arguments);
  DWORD Id() const { return info_.dwProcessId; }
  bool IsRunning() const;
  // Waits for the end of the process, handling this thread's messages
  // meanwhile (its windows may be asked things by the process). True when it
  // ended in time; then `exitCode` (if given) holds its exit code.
  bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
  // As WaitForExit, and tells whether the process showed any visible
  // top-level window while it ran (looked for every 10 ms).
  bool WaitForExitWatchingWindows(DWORD timeoutMs, bool& sawWindow, DWORD* exitCode = nullptr);
  void Terminate();

  // The process's top-level windows (visible ones only when asked).
  std::vector<HWND> TopLevelWindows(bool visibleOnly) const;
  // Waits, handling this thread's messages, for a top-level window of the
  // process that `match` accepts; nullptr on timeout or when the process ends.
  HWND WaitForWindow(const std::function<bool(HWND)>& match, DWORD timeoutMs);

 private:
  PROCESS_INFORMATION info_{};
};

// Handles this thread's messages for `ms` milliseconds.
void PumpFor(DWORD ms);
// Handles this thread's messages until `done` is true or `timeoutMs` passes;
// returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

std::wstring ClassNameOf(HWND window);
std::wstring TextOf(HWND window);
// The text of the child `id` of `dialog` (0xFFFF: a message box's text) once
// that child exists and shows some text, handling this thread's messages
// while it waits: a dialog's children are created after the dialog itself,
// so a dialog found on screen may not have them yet. Empty when none came
// within `timeoutMs`.
std::wstring WaitForChildText(HWND dialog, int id, DWORD timeoutMs);
// True when the thread that owns `window` has captured the mouse for it
// (works across processes).
bool HoldsMouseCapture(HWND window);
// A pixel of the screen as it is now (GetDC(nullptr) + GetPixel).
COLORREF ScreenPixel(int x, int y);

// Real input through SendInput: a key press and release, a click at a
// screen point.
void PressKey(WORD virtualKey);
void ClickAt(int x, int y);

}  // namespace velmora::test
