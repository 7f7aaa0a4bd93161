#include "app/StartupWin32.h"

#include <shellapi.h>

#include <exception>
#include <memory>
#include <vector>

#include "app/Startup.h"
#include "app/StartupPackageWin32.h"
#include "editor/EditorWindowsWin32.h"
#include "editor/ElevatedStepWin32.h"
#include "editor/PMainWin32.h"
#include "platform/ApplicationWin32.h"
#include "platform/HandlesWin32.h"
#include "platform/PictureLoaderWin32.h"
#include "platform/SystemPathsWin32.h"
#include "saver/DpiAwarenessWin32.h"
#include "saver/FolderPicturesWin32.h"
#include "saver/ScrnWin32.h"

namespace velmora {

namespace {

struct LocalFreeDeleter {
  void operator()(LPWSTR* p) const noexcept { ::LocalFree(p); }
};

using PwdChangePasswordProc = DWORD(WINAPI*)(LPCSTR provider, HWND parent, DWORD reserved1, DWORD reserved2);

// Asks the system to change the screen-saver password, parented to the
// window named by `handleText`. Nothing happens when the handle is not a
// decimal number or the system has no such routine.
void ChangePassword(std::string systemDir, const std::string& handleText) {
  std::intptr_t parent = 0;
  if (!ParseWindowHandle(handleText, parent)) return;
  if (systemDir.empty() || systemDir.back() != '\\') systemDir += '\\';
  const std::string libraryPath = systemDir + "MPR.DLL";
  UniqueLibrary library(::LoadLibraryA(libraryPath.c_str()));
  if (!library) return;
  auto change = reinterpret_cast<PwdChangePasswordProc>(
      reinterpret_cast<void*>(::GetProcAddress(library.get(), "PwdChangePasswordA")));
  if (change == nullptr) return;
  change("SCRSAVE", reinterpret_cast<HWND>(parent), 0, 0);
}

// Keeps handling messages until the preview host is visible. False when it
// is destroyed first, does not show within kPreviewHostWaitMs, or the
// application ends meanwhile.
bool WaitForPreviewHost(Application& application, HWND host) {
  bool gone = false;
  const bool visible = application.WaitUntil(
      [&] {
        if (!::IsWindow(host)) {
          gone = true;
          return true;
        }
        return ::IsWindowVisible(host) != FALSE;
      },
      kPreviewHostWaitMs);
  return visible && !gone;
}

// Embeds the saver window in the preview host: the host's styles (plus
// disabled), the host as parent, the host's size plus one pixel each way.
void EmbedInPreviewHost(TScrn& scrn, HWND host) {
  HWND window = scrn.Handle();
  LONG_PTR style = ::GetWindowLongPtrA(host, GWL_STYLE) | WS_DISABLED;
  // A window placed inside another must be a child window: a host that is
  // itself a top-level window would otherwise give the saver a caption and
  // top-level behaviour inside the host.
  style = (style | WS_CHILD) & ~static_cast<LONG_PTR>(WS_POPUP);
  ::SetWindowLongPtrA(window, GWL_STYLE, style);
  ::SetWindowLongPtrA(window, GWL_EXSTYLE, ::GetWindowLongPtrA(host, GWL_EXSTYLE));
  ::SetParent(window, host);
  RECT hostRect{};
  ::GetWindowRect(host, &hostRect);
  const int width = hostRect.right - hostRect.left + 1;
  const int height = hostRect.bottom - hostRect.top + 1;
  ::SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  scrn.StartPreview(width, height);
}

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The process's arguments after the program name, as given.
std::vector<std::wstring> WideArguments() {
  int count = 0;
  std::unique_ptr<LPWSTR, LocalFreeDeleter> argv(::CommandLineToArgvW(::GetCommandLineW(), &count));
  std::vector<std::wstring> arguments;
  for (int i = 1; argv && i < count; ++i) arguments.emplace_back(argv.get()[i]);
  return arguments;
}

int RunModes(HINSTANCE instance) {
  // 0. The program's own elevated step (a save or clearing the editor could
  // not do unelevated): before the screen-saver modes and the semaphore the
  // editor holds, with no windows; its result is the exit code. Windows never
  // passes these arguments.
  {
    const std::vector<std::wstring> arguments = WideArguments();
    if (!arguments.empty()) {
      const ElevatedStep step = ElevatedStepOf(arguments[0]);
      if (step != ElevatedStep::None) return RunElevatedStep(step, arguments);
    }
  }

  // 1-2. Arguments and mode.
  const RawArguments raw = ReadProcessArguments();
  const CommandLine line = ParseCommandLine(raw.first, raw.second);
  FirstArg = line.FirstArg;
  SecondArg = line.SecondArg;
  Mode = line.Mode;

  // 3. System directory.
  SystemDir = ReadSystemDirectory();

  // 4. Password change: one call, no windows of our own, no semaphore.
  if (Mode == SaverMode::ChangePassword) {
    ChangePassword(SystemDir, SecondArg);
    return 0;
  }

  // 5. One editor, saver or preview at a time.
  UniqueKernelHandle semaphore(::CreateSemaphoreA(nullptr, 0, 1, kInstanceSemaphoreName));
  if (semaphore && ::GetLastError() == ERROR_ALREADY_EXISTS) return 0;

  // Every mode works in physical pixels on every monitor (the manifest says
  // so; this is for a Windows that does not read that part of it). It must
  // come before the first window (the application window) exists.
  DeclarePerMonitorDpiAwareness();

  // 6. The application object.
  Application& application = Application::Instance();
  if (!application.Initialize(instance, kProgramTitle)) return 0;
  InstallWin32Graphics();
  InstallWin32FolderListing();

  // 7. The preview host must be a window given in decimal, and visible.
  HWND host = nullptr;
  if (Mode == SaverMode::Preview) {
    std::intptr_t handle = 0;
    if (!ParseWindowHandle(SecondArg, handle)) return 0;
    PreviewParent = handle;
    host = reinterpret_cast<HWND>(handle);
    if (!WaitForPreviewHost(application, host)) return 0;
  }

  // 8. Name checks.
  const std::string exePath = ReadExecutablePath();
  const std::string exeName = FileNameOf(exePath);
  IsEditorExe = IsEditorExeName(exeName);
  if (exeName.find('.') == std::string::npos) application.Terminate();
  SaverBaseName = SaverBaseNameOf(exeName);

  // 9. The editor's own executable does not run from the system directory.
  if (IsEditorExe && IsSystemDirectory(DirectoryOfPath(exePath), SystemDir)) {
    ::MessageBoxW(nullptr, kSystemDirectoryRefusal, kProgramTitle, MB_OK | MB_ICONWARNING);
    return 0;
  }

  // A show the program's own file carries (an exported saver).
  if (!IsEditorExe && !UseCarriedShow(ReadExecutablePathWide(), Mode)) return 0;

  // 10. The windows of the mode.
  std::unique_ptr<TPMain> editor;
  std::unique_ptr<EditorWindows> companions;
  std::unique_ptr<TScrn> scrn;
  if (Mode == SaverMode::Configure) {
    editor = std::make_unique<TPMain>();
    if (editor->CreateForm() == nullptr) return 0;
    // The edit window, saving and the clear dialog.
    companions = std::make_unique<EditorWindows>(*editor);
    editor->SetCompanions(companions.get());
    companions->EditWindow();
    application.SetMainForm(editor.get());
  } else {
    application.SetShowMainForm(false);
    scrn = std::make_unique<TScrn>();
    if (scrn->CreateForm() == nullptr) return 0;
    application.SetMainForm(scrn.get());
    application.HideAppWindow();
    if (Mode == SaverMode::Preview) {
      EmbedInPreviewHost(*scrn, host);
      scrn->Show(SW_SHOWNA);
      application.HideAppWindow();
    } else {
      scrn->Show(SW_SHOW);
      ::SetForegroundWindow(scrn->Handle());
    }
  }

  // 11. The message loop, until the main form closes.
  application.Run();
  // Forms go before the semaphore; the exit code of a normal end is 0.
  scrn.reset();
  if (editor) editor->SetCompanions(nullptr);
  companions.reset();
  editor.reset();
  return 0;
}

}  // namespace

RawArguments ReadProcessArguments() {
  RawArguments arguments;
  int count = 0;
  std::unique_ptr<LPWSTR, LocalFreeDeleter> argv(::CommandLineToArgvW(::GetCommandLineW(), &count));
  if (!argv) return arguments;
  if (count > 1) arguments.first = NarrowToAnsi(argv.get()[1]);
  if (count > 2) arguments.second = NarrowToAnsi(argv.get()[2]);
  return arguments;
}

int RunVelmora(HINSTANCE instance) {
  try {
    return RunModes(instance);
  } catch (const std::exception& error) {
    Application::Instance().ShowException(error);
  } catch (...) {
    Application::Instance().ShowException("Unknown error");
  }
  return 1;
}

}  // namespace velmora
