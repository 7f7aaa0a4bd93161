#include "editor/ElevationWin32.h"

#include <shellapi.h>

#include "editor/ElevatedStep.h"
#include "platform/ApplicationWin32.h"
#include "platform/HandlesWin32.h"
#include "platform/SystemPathsWin32.h"

namespace velmora {

std::optional<std::string> AnsiExactly(const std::wstring& text) {
  std::string ansi = NarrowToAnsi(text);
  if (WidenAnsi(ansi) != text) return std::nullopt;
  return ansi;
}

std::wstring QuoteArgument(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped.
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

std::string ShellElevation::MakeStagingFolder() {
  const std::wstring base = ReadTempFolder();
  if (base.empty()) return {};
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::wstring folder = base + kStagingPrefix + std::to_wstring(::GetCurrentProcessId()) +
                                L"-" + std::to_wstring(::GetTickCount64()) + L"-" +
                                std::to_wstring(attempt);
    if (!IsStagingFolderPath(folder)) return {};
    const std::optional<std::string> ansi = AnsiExactly(folder);
    if (!ansi) return {};
    if (::CreateDirectoryW(folder.c_str(), nullptr)) return *ansi;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

void ShellElevation::RemoveStagingFolder(const std::string& folder) {
  const std::wstring dir = WidenAnsi(folder);
  WIN32_FIND_DATAW found{};
  {
    UniqueFindHandle search(::FindFirstFileExW((dir + L"\\*").c_str(), FindExInfoBasic, &found,
                                               FindExSearchNameMatch, nullptr, 0));
    if (search) {
      do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
          ::DeleteFileW((dir + L"\\" + found.cFileName).c_str());
      } while (::FindNextFileW(search.get(), &found));
    }
  }
  ::RemoveDirectoryW(dir.c_str());
}

ElevationOutcome ShellElevation::Place(const std::string& staging, const std::string& name,
                                       bool withExecutable, int& exitCode) {
  return RunElevated({withExecutable ? kPlaceArgument : kPlaceFrameSetArgument, WidenAnsi(staging),
                      WidenAnsi(name)},
                     exitCode);
}

ElevationOutcome ShellElevation::Clear(const std::vector<std::string>& names, int& exitCode) {
  std::vector<std::wstring> arguments = {kClearArgument};
  for (const std::string& name : names) arguments.push_back(WidenAnsi(name));
  return RunElevated(arguments, exitCode);
}

ElevationOutcome ShellElevation::RunElevated(const std::vector<std::wstring>& arguments, int& exitCode) {
  exitCode = 0;
  // The program's own executable: the editor, or a saver in the system
  // directory (a .scr file, started as an executable: the "runas" verb
  // belongs to executables, not to the saver file type).
  const std::wstring exe = ReadExecutablePathWide();
  if (exe.empty()) return ElevationOutcome::CouldNotStart;
  std::wstring parameters;
  for (const std::wstring& argument : arguments) {
    if (!parameters.empty()) parameters += L' ';
    parameters += QuoteArgument(argument);
  }
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | SEE_MASK_CLASSNAME;
  info.hwnd = owner_;
  info.lpVerb = L"runas";
  info.lpFile = exe.c_str();
  info.lpParameters = parameters.c_str();
  info.lpClass = L".exe";
  info.nShow = SW_HIDE;
  if (!::ShellExecuteExW(&info)) {
    return ::GetLastError() == ERROR_CANCELLED ? ElevationOutcome::Declined
                                               : ElevationOutcome::CouldNotStart;
  }
  const UniqueKernelHandle process(info.hProcess);
  if (!process) return ElevationOutcome::CouldNotStart;
  // The owner stays painted but takes no input until the step ends.
  const bool disabled = owner_ != nullptr && ::EnableWindow(owner_, FALSE) == FALSE;
  bool quit = false;
  int quitCode = 0;
  HANDLE waited = process.get();
  for (;;) {
    if (quit) {
      ::WaitForSingleObject(waited, INFINITE);
      break;
    }
    const DWORD woke = ::MsgWaitForMultipleObjects(1, &waited, FALSE, INFINITE, QS_ALLINPUT);
    if (woke != WAIT_OBJECT_0 + 1) break;
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        quit = true;
        quitCode = static_cast<int>(message.wParam);
        break;
      }
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  if (disabled) ::EnableWindow(owner_, TRUE);
  if (quit) ::PostQuitMessage(quitCode);
  DWORD code = 0;
  if (!::GetExitCodeProcess(process.get(), &code)) return ElevationOutcome::Failed;
  exitCode = static_cast<int>(code);
  return code == 0 ? ElevationOutcome::Done : ElevationOutcome::Failed;
}

}  // namespace velmora
