#include "support/ProcessLauncherWin32.h"

#include <cstdlib>

namespace velmora::test {

namespace {

std::wstring Join(const std::wstring& directory, const std::wstring& name) {
  if (!directory.empty() && directory.back() == L'\\') return directory + name;
  return directory + L"\\" + name;
}

struct EnumContext {
  DWORD processId;
  bool visibleOnly;
  std::vector<HWND>* windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM data) {
  auto* context = reinterpret_cast<EnumContext*>(data);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner == context->processId && (!context->visibleOnly || ::IsWindowVisible(window))) {
    context->windows->push_back(window);
  }
  return TRUE;
}

void DrainMessages() {
  MSG message{};
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

}  // namespace

std::wstring ProgramUnderTest() {
  const wchar_t* exe = ::_wgetenv(L"VELMORA_EXE");
  return exe != nullptr ? std::wstring(exe) : std::wstring();
}

std::wstring SystemDirectory() {
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
  return std::wstring(buffer, length < MAX_PATH ? length : 0);
}

TempDirectory::TempDirectory() {
  wchar_t base[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, base);
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    std::wstring candidate = Join(base, L"velmora-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                            std::to_wstring(::GetTickCount64() % 100000) + L"-" +
                                            std::to_wstring(attempt));
    if (::CreateDirectoryW(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
  }
}

TempDirectory::~TempDirectory() {
  if (path_.empty()) return;
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW(Join(path_, L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ::DeleteFileW(Join(path_, found.cFileName).c_str());
      }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
  }
  ::RemoveDirectoryW(path_.c_str());
}

ProgramCopy::ProgramCopy(const std::wstring& directory, const std::wstring& name) : path_(Join(directory, name)) {
  const std::wstring source = ProgramUnderTest();
  ok_ = !source.empty() && !directory.empty() && ::CopyFileW(source.c_str(), path_.c_str(), FALSE);
}

ProgramCopy::~ProgramCopy() {
  if (!ok_) return;
  // A process that was just terminated may hold the file for a moment.
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (::DeleteFileW(path_.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND) return;
    ::Sleep(100);
  }
}

LaunchedProcess::~LaunchedProcess() {
  Terminate();
  if (info_.hThread != nullptr) ::CloseHandle(info_.hThread);
  if (info_.hProcess != nullptr) ::CloseHandle(info_.hProcess);
}

bool LaunchedProcess::Start(const std::wstring& exePath, const std::wstring& arguments) {
  if (info_.hProcess != nullptr) return false;
  std::wstring commandLine = L"\"" + exePath + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  // The application name is given in full, so a name without an extension
  // is not completed to ".exe".
  return ::CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info_) != FALSE;
}

bool LaunchedProcess::IsRunning() const {
  return info_.hProcess != nullptr && ::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool LaunchedProcess::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
  bool sawWindow = false;
  const bool ended = WaitForExitWatchingWindows(timeoutMs, sawWindow, exitCode);
  return ended;
}

bool LaunchedProcess::WaitForExitWatchingWindows(DWORD timeoutMs, bool& sawWindow, DWORD* exitCode) {
  if (info_.hProcess == nullptr) return false;
  const ULONGLONG start = ::GetTickCount64();
  for (;;) {
    if (!TopLevelWindows(true).empty()) sawWindow = true;
    DrainMessages();
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    const DWORD left = elapsed >= timeoutMs ? 0 : static_cast<DWORD>(timeoutMs - elapsed);
    const DWORD waited =
        ::MsgWaitForMultipleObjects(1, &info_.hProcess, FALSE, left < 10 ? left : 10, QS_ALLINPUT);
    if (waited == WAIT_OBJECT_0) {
      if (exitCode != nullptr) ::GetExitCodeProcess(info_.hProcess, exitCode);
      return true;
    }
    if (left == 0) return false;
  }
}

void LaunchedProcess::Terminate() {
  if (IsRunning()) {
    ::TerminateProcess(info_.hProcess, 99);
    ::WaitForSingleObject(info_.hProcess, 5000);
  }
}

std::vector<HWND> LaunchedProcess::TopLevelWindows(bool visibleOnly) const {
  std::vector<HWND> windows;
  if (info_.hProcess == nullptr) return windows;
  EnumContext context{info_.dwProcessId, visibleOnly, &windows};
  ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&context));
  return windows;
}

HWND LaunchedProcess::WaitForWindow(const std::function<bool(HWND)>& match, DWORD timeoutMs) {
  HWND found = nullptr;
  PumpUntil(
      [&] {
        for (HWND window : TopLevelWindows(false)) {
          if (match(window)) {
            found = window;
            return true;
          }
        }
        return !IsRunning();
      },
      timeoutMs);
  return found;
}

void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const ULONGLONG start = ::GetTickCount64();
  for (;;) {
    DrainMessages();
    if (done()) return true;
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    if (elapsed >= timeoutMs) return done();
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

std::wstring ClassNameOf(HWND window) {
  wchar_t name[256] = {};
  const int length = ::GetClassNameW(window, name, 256);
  return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  const int length = ::GetWindowTextW(window, text, 1024);
  return std::wstring(text, length > 0 ? static_cast<size_t>(length) : 0);
}

std::wstring WaitForChildText(HWND dialog, int id, DWORD timeoutMs) {
  std::wstring text;
  PumpUntil(
      [&] {
        HWND child = ::GetDlgItem(dialog, id);
        if (child != nullptr) text = TextOf(child);
        return !text.empty() || !::IsWindow(dialog);
      },
      timeoutMs);
  return text;
}

bool HoldsMouseCapture(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  const DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
  return thread != 0 && ::GetGUIThreadInfo(thread, &info) && info.hwndCapture == window;
}

COLORREF ScreenPixel(int x, int y) {
  HDC screen = ::GetDC(nullptr);
  const COLORREF pixel = ::GetPixel(screen, x, y);
  ::ReleaseDC(nullptr, screen);
  return pixel;
}

void PressKey(WORD virtualKey) {
  INPUT inputs[2] = {};
  inputs[0].type = INPUT_KEYBOARD;
  inputs[0].ki.wVk = virtualKey;
  inputs[1] = inputs[0];
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(2, inputs, sizeof(INPUT));
}

void ClickAt(int x, int y) {
  ::SetCursorPos(x, y);
  INPUT inputs[2] = {};
  inputs[0].type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[1] = inputs[0];
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ::SendInput(2, inputs, sizeof(INPUT));
}

}  // namespace velmora::test
