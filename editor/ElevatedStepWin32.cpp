#include "editor/ElevatedStepWin32.h"

#include <cstdint>
#include <optional>
#include <string_view>

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

// True when the open `handle` was reached at `path` itself: no junction or
// symbolic link on any part of the path led the open elsewhere (the final
// path Windows reports for the handle is the path asked for, letter case
// aside).
bool ReachedAsAsked(HANDLE handle, const std::wstring& path) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  DWORD length = ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }
  if (length == 0 || length >= buffer.size()) return false;
  std::wstring_view final(buffer.data(), length);
  if (final.starts_with(L"\\\\?\\")) final.remove_prefix(4);
  return ::CompareStringOrdinal(final.data(), static_cast<int>(final.size()), path.data(),
                                static_cast<int>(path.size()), TRUE) == CSTR_EQUAL;
}

// True when `folder` holds exactly one entry (the frame-set file, already
// opened) and nothing else.
bool HoldsOneEntry(const std::wstring& folder) {
  WIN32_FIND_DATAW found{};
  UniqueFindHandle search(::FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found,
                                             FindExSearchNameMatch, nullptr, 0));
  if (!search) return false;
  int entries = 0;
  do {
    const std::wstring_view entry = found.cFileName;
    if (entry != L"." && entry != L"..") ++entries;
  } while (::FindNextFileW(search.get(), &found));
  return entries == 1;
}

// The running program's own executable file, read whole through a handle
// that refuses writers while it is read. Nothing when it cannot be read, is
// reached through a link, or its headers are not those of the image this
// process runs (as loaded; the image base the loader may have changed
// aside).
std::optional<std::string> ReadOwnImage() {
  const std::wstring path = ReadExecutablePathWide();
  if (path.empty()) return std::nullopt;
  const UniqueFileHandle file = OpenPlain(path, false);
  if (!file || !ReachedAsAsked(file.get(), path)) return std::nullopt;
  std::optional<std::string> bytes = ReadWhole(file.get());
  if (!bytes) return std::nullopt;
  const auto* base = reinterpret_cast<const char*>(::GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (base == nullptr || dos->e_magic != IMAGE_DOS_SIGNATURE) return std::nullopt;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
  const std::size_t headers = nt->OptionalHeader.SizeOfHeaders;
  if (bytes->size() < headers) return std::nullopt;
  const std::size_t imageBase = static_cast<std::size_t>(
      reinterpret_cast<const char*>(&nt->OptionalHeader.ImageBase) - base);
  for (std::size_t i = 0; i < headers; ++i) {
    if (i >= imageBase && i < imageBase + sizeof(nt->OptionalHeader.ImageBase)) continue;
    if ((*bytes)[i] != base[i]) return std::nullopt;
  }
  return bytes;
}

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
  // The frame-set file, a plain file reached where it was said to be, held
  // against writers while it is read; nothing else staged beside it.
  const std::wstring fmsPath = WidenAnsi(SaverFilePath(*staging, *name, ".fms"));
  const UniqueFileHandle fms = OpenPlain(fmsPath, false);
  if (!fms || !ReachedAsAsked(fms.get(), fmsPath) || !HoldsOneEntry(stagingWide))
    return Exit(ElevatedExit::BadSource);
  // Read once into memory, checked as the show reader checks a file, and
  // placed from that memory.
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(fms.get(), &size) || size.QuadPart < 0 ||
      CheckFrameSetLength(static_cast<std::uint64_t>(size.QuadPart)) != FrameSetProblem::Good)
    return Exit(ElevatedExit::BadFrameSet);
  const std::optional<std::string> frameSet = ReadWhole(fms.get(), MaxFrameSetFileSize);
  if (!frameSet) return Exit(ElevatedExit::BadSource);
  if (CheckFrameSetLength(frameSet->size()) != FrameSetProblem::Good)
    return Exit(ElevatedExit::BadFrameSet);
  // The saver executable is this program's own file, never a staged one.
  std::optional<std::string> image;
  if (withExecutable) {
    image = ReadOwnImage();
    if (!image) return Exit(ElevatedExit::BadImage);
  }
  ShellSaveFileSystem files(nullptr);
  return Exit(PlaceChecked(systemDir, *name, *frameSet, image ? &*image : nullptr, files));
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
  ShellSaveFileSystem files(nullptr);
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
