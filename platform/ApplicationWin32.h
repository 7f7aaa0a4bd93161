// The application object: one per process. It owns the hidden application
// window, knows the main form, and runs the message loop with an idle event.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <string_view>

namespace velmora {

class Window;

class Application {
 public:
  // Called when the message queue has run empty. Returns true to be called
  // again at once (while the queue stays empty), false to let the loop wait
  // for the next message. A handler that posts itself a message and returns
  // false makes the loop turn once per posted message.
  using IdleHandler = std::function<bool()>;

  static Application& Instance();

  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // One-time set-up: common controls and the hidden application window.
  // Safe to call more than once; false when the window cannot be created.
  bool Initialize(HINSTANCE instance, std::wstring_view title);
  HINSTANCE InstanceHandle() const noexcept { return instance_; }
  // The application window: a hidden top-level window standing for the
  // program as a whole. Forms are not owned by it; the main form carries its
  // own task-bar button.
  HWND Handle() const noexcept { return appWindow_; }
  const std::wstring& Title() const noexcept { return title_; }
  void SetTitle(std::wstring_view title);
  void ShowAppWindow(int command);
  void HideAppWindow() { ShowAppWindow(SW_HIDE); }

  // The main form: Run shows it (unless SetShowMainForm(false)), and its
  // destruction terminates the application. Not owned.
  void SetMainForm(Window* form) noexcept { mainForm_ = form; }
  Window* MainForm() const noexcept { return mainForm_; }
  void SetShowMainForm(bool show) noexcept { showMainForm_ = show; }
  bool ShowMainForm() const noexcept { return showMainForm_; }

  // Runs the message loop until the application terminates (the main form
  // is destroyed, Terminate, or WM_QUIT). Returns the exit code: WM_QUIT's
  // wParam, or 0. Returns at once when already terminated.
  int Run();
  // Runs the message loop while `keepRunning` says so and the application
  // has not terminated; the idle handler runs as in Run. For modal windows.
  void RunWhile(const std::function<bool()>& keepRunning);
  // Handles every message already waiting, then returns (no idle call).
  void ProcessMessages();
  // Processes messages until `done` returns true, the application
  // terminates or `timeoutMs` has passed, sleeping in between (no busy
  // loop; `done` is checked at least every `pollMs`). Returns done().
  bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD pollMs = 20);

  // Ends the message loop: it stops before its next message.
  void Terminate(int exitCode = 0);
  bool Terminated() const noexcept { return terminated_; }
  // Makes a terminated application able to run a loop again: clears the
  // flag, the exit code, the main form and the idle handler, and removes a
  // pending WM_QUIT. For processes that run several loops in turn (tests).
  void Reset();

  void SetOnIdle(IdleHandler handler) { onIdle_ = std::move(handler); }
  void ClearOnIdle() { onIdle_ = nullptr; }
  bool HasIdleHandler() const noexcept { return static_cast<bool>(onIdle_); }

  // The standard error box for an exception that reached a window procedure.
  void ShowException(const std::exception& error);
  void ShowException(std::string_view message);

 private:
  Application() = default;
  bool CallIdle();
  // Dispatches one message; false when it was WM_QUIT.
  bool HandleOne(MSG& message);

  HINSTANCE instance_ = nullptr;
  HWND appWindow_ = nullptr;
  std::wstring title_;
  Window* mainForm_ = nullptr;  // not owned
  bool showMainForm_ = true;
  bool terminated_ = false;
  int exitCode_ = 0;
  IdleHandler onIdle_;
};

// Converts between UTF-8 (texts in the source), the ANSI code page (paths and
// frame-set strings) and UTF-16 (the W APIs). Invalid UTF-8 is read as ANSI.
std::wstring WidenUtf8(std::string_view text);
std::wstring WidenAnsi(std::string_view text);
std::string NarrowToAnsi(std::wstring_view text);
std::string NarrowToUtf8(std::wstring_view text);

}  // namespace velmora
