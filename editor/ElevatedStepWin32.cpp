#include "editor/ElevatedStepWin32.h"

#include <optional>

#include "editor/ElevationWin32.h"
#include "editor/ShellFileSystemWin32.h"
#include "platform/ApplicationWin32.h"
#include "platform/HandlesWin32.h"
#include "platform/SystemPathsWin32.h"

namespace velmora {

namespace {

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
