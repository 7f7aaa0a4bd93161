#include "editor/ElevationWin32.h"

#include <shellapi.h>

#include <optional>

#include "app/StartupWin32.h"
#include "platform/ApplicationWin32.h"
#include "platform/HandlesWin32.h"

namespace velmora {

namespace {

std::wstring OwnExecutablePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

// `text` in the system code page, when it converts back exactly.
std::optional<std::string> AnsiExactly(const std::wstring& text) {
  std::string ansi = NarrowToAnsi(text);
  if (WidenAnsi(ansi) != text) return std::nullopt;
  return ansi;
}

// Opens a file or folder for reading, itself and not what a link points to,
// refusing writers and renaming while the handle is open. Nothing when it is
// not there, is a reparse point, or is not of the kind asked.
UniqueFileHandle OpenPlain(const std::wstring& path, bool directory) {
  UniqueFileHandle handle(::CreateFileW(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
      FILE_FLAG_OPEN_REPARSE_POINT | (directory ? FILE_FLAG_BACKUP_SEMANTICS : 0), nullptr));
  if (!handle) return {};
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle.get(), &info)) return {};
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return {};
  if (((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != directory) return {};
  return handle;
}

// The elevated process's files: copies read the source through a handle
// that is checked to be a plain file, never through a link.
class ElevatedFileSystem : public ShellSaveFileSystem {
 public:
  ElevatedFileSystem() : ShellSaveFileSystem(nullptr) {}
  CopyOutcome CopyFile(const std::string& from, const std::string& to, int& errorCode) override {
    UniqueFileHandle source = OpenPlain(WidenAnsi(from), false);
    if (!source) {
      errorCode = static_cast<int>(::GetLastError());
      return CopyOutcome::Failed;
    }
    UniqueFileHandle target(::CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!target) {
      errorCode = static_cast<int>(::GetLastError());
      return CopyOutcome::Failed;
    }
    std::vector<char> buffer(1 << 16);
    for (;;) {
      DWORD read = 0;
      if (!::ReadFile(source.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
        errorCode = static_cast<int>(::GetLastError());
        return CopyOutcome::Failed;
      }
      if (read == 0) break;
      DWORD written = 0;
      if (!::WriteFile(target.get(), buffer.data(), read, &written, nullptr) || written != read) {
        errorCode = static_cast<int>(::GetLastError());
        return CopyOutcome::Failed;
      }
    }
    if (!::FlushFileBuffers(target.get())) {
      errorCode = static_cast<int>(::GetLastError());
      return CopyOutcome::Failed;
    }
    errorCode = 0;
    return CopyOutcome::Copied;
  }
};

int Exit(ElevatedExit code) { return static_cast<int>(code); }

int RunPlace(bool withExecutable, const std::vector<std::wstring>& arguments,
             const std::string& systemDir) {
  if (arguments.size() != 3) return Exit(ElevatedExit::BadArguments);
  const std::wstring& stagingWide = arguments[1];
  const std::wstring& nameWide = arguments[2];
  const std::optional<std::string> name = AnsiExactly(nameWide);
  if (!IsElevatedName(nameWide, name.value_or(std::string()), name.has_value()))
    return Exit(ElevatedExit::BadName);
  const std::optional<std::string> staging = AnsiExactly(stagingWide);
  if (!staging || !IsStagingFolderPath(stagingWide)) return Exit(ElevatedExit::BadStaging);
  // The folder itself, not a link, held so it cannot be swapped meanwhile.
  const UniqueFileHandle folder = OpenPlain(stagingWide, true);
  if (!folder) return Exit(ElevatedExit::BadStaging);
  std::vector<UniqueFileHandle> held;
  for (const char* extension : {".fms", ".scr"}) {
    if (!withExecutable && std::string(extension) == ".scr") continue;
    UniqueFileHandle source = OpenPlain(WidenAnsi(SaverFilePath(*staging, *name, extension)), false);
    if (!source) return Exit(ElevatedExit::BadSource);
    held.push_back(std::move(source));
  }
  ElevatedFileSystem files;
  return Exit(PlaceFromStaging(systemDir, *staging, *name, withExecutable, files));
}

int RunClear(const std::vector<std::wstring>& arguments, const std::string& systemDir) {
  if (arguments.size() < 2) return Exit(ElevatedExit::BadArguments);
  std::vector<std::string> names;
  // Every name is checked before anything is deleted.
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::optional<std::string> name = AnsiExactly(arguments[i]);
    if (!IsElevatedName(arguments[i], name.value_or(std::string()), name.has_value()))
      return Exit(ElevatedExit::BadName);
    names.push_back(*name);
  }
  ElevatedFileSystem files;
  return Exit(ClearSavers(systemDir, names, files));
}

}  // namespace

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
  std::vector<wchar_t> temp(MAX_PATH + 1);
  const DWORD length = ::GetTempPathW(static_cast<DWORD>(temp.size()), temp.data());
  if (length == 0 || length >= temp.size()) return {};
  std::vector<wchar_t> full(MAX_PATH + 1);
  const DWORD fullLength = ::GetLongPathNameW(temp.data(), full.data(), static_cast<DWORD>(full.size()));
  std::wstring base = fullLength != 0 && fullLength < full.size() ? std::wstring(full.data(), fullLength)
                                                                  : std::wstring(temp.data(), length);
  if (!base.empty() && base.back() != L'\\') base += L'\\';
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
  const std::wstring exe = OwnExecutablePath();
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

int RunElevatedStep(ElevatedStep step, const std::vector<std::wstring>& arguments) {
  const std::string systemDir = ReadSystemDirectory();
  if (systemDir.empty()) return Exit(ElevatedExit::NoSystemDir);
  switch (step) {
    case ElevatedStep::Place:
      return RunPlace(true, arguments, systemDir);
    case ElevatedStep::PlaceFrameSet:
      return RunPlace(false, arguments, systemDir);
    case ElevatedStep::Clear:
      return RunClear(arguments, systemDir);
    case ElevatedStep::None:
      break;
  }
  return Exit(ElevatedExit::BadArguments);
}

}  // namespace velmora
