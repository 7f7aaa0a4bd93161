#include "editor/SaverFiles.h"

#include <cerrno>

namespace velmora {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// The previous file of a save, kept beside its target until both are in
// place.
constexpr const char* kBackupSuffix = ".old";

wchar_t UpperAscii(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; }

bool IsReservedDeviceName(std::wstring_view name) {
  std::wstring upper;
  for (wchar_t c : name) upper += UpperAscii(c);
  for (const wchar_t* reserved : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
    if (upper == reserved) return true;
  // COM and LPT with a digit, superscripts one to three included.
  return upper.size() == 4 && (upper.starts_with(L"COM") || upper.starts_with(L"LPT")) &&
         ((upper[3] >= L'0' && upper[3] <= L'9') ||
          std::wstring_view(L"\u00B9\u00B2\u00B3").find(upper[3]) != std::wstring_view::npos);
}

}  // namespace

bool IsNoWriteRight(int code) {
#ifdef _WIN32
  return code == 5 /* ERROR_ACCESS_DENIED */ || code == 19 /* ERROR_WRITE_PROTECT */;
#else
  return code == EACCES || code == EPERM || code == EROFS;
#endif
}

SaverNameProblem CheckSaverName(std::wstring_view name) {
  if (name.empty()) return SaverNameProblem::Empty;
  if (name.size() > MaxFramePathLength) return SaverNameProblem::TooLong;
  for (wchar_t c : name) {
    if (c < 32 || c == 127 || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos)
      return SaverNameProblem::BadCharacter;
  }
  if (name.find(L'.') != std::wstring_view::npos) return SaverNameProblem::Dot;
  if (name.back() == L' ') return SaverNameProblem::TrailingSpace;
  if (IsReservedDeviceName(name)) return SaverNameProblem::ReservedDeviceName;
  return SaverNameProblem::Valid;
}

SaverNameProblem CheckSaverName(std::wstring_view name, std::string_view ansi) {
  const SaverNameProblem problem = CheckSaverName(name);
  if (problem == SaverNameProblem::Valid && ansi.size() > MaxFramePathLength)
    return SaverNameProblem::TooLong;
  return problem;
}

std::string SaverNameMessage(SaverNameProblem problem) {
  switch (problem) {
    case SaverNameProblem::Valid:
    case SaverNameProblem::Empty:
      return {};
    case SaverNameProblem::TooLong:
      return "名稱太長：最多 200 個位元組 (一個中文字佔兩個)。\r\n"
             "The name is too long: at most 200 bytes (a Chinese character takes two).";
    case SaverNameProblem::BadCharacter:
      return "名稱不可包含 \\ / : * ? \" < > | 或控制字元。\r\n"
             "A name cannot hold \\ / : * ? \" < > | or control characters.";
    case SaverNameProblem::Dot:
      return "名稱不可包含句點 (.)，否則螢幕保護會找不到它的畫面。\r\n"
             "A name cannot hold a full stop (.): the saver would not find its show.";
    case SaverNameProblem::TrailingSpace:
      return "名稱不可以空格結尾。\r\nA name cannot end with a space.";
    case SaverNameProblem::ReservedDeviceName:
      return "這是 Windows 保留的裝置名稱 (例如 CON、PRN、AUX、NUL、COM1、LPT1)，不能當作檔名。\r\n"
             "This is a device name reserved by Windows (such as CON, PRN, AUX, NUL, COM1, LPT1); "
             "it cannot name a file.";
  }
  return {};
}

bool SameFileName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x >= 0x80 || y >= 0x80) {
      // A possible double-byte character: both bytes exactly.
      if (x != y) return false;
      if (i + 1 < a.size()) {
        ++i;
        if (a[i] != b[i]) return false;
      }
      continue;
    }
    if (UpperAscii(static_cast<wchar_t>(x)) != UpperAscii(static_cast<wchar_t>(y))) return false;
  }
  return true;
}

std::string SaverFilePath(const std::string& systemDir, const std::string& name,
                          const char* extension) {
  std::string path = systemDir;
  if (path.empty() || (path.back() != '\\' && path.back() != '/')) path += kSeparator;
  return path + name + extension;
}

std::wstring SaverFilePath(const std::wstring& systemDir, const std::wstring& name,
                           const wchar_t* extension) {
  std::wstring path = systemDir;
  if (path.empty() || (path.back() != L'\\' && path.back() != L'/'))
    path += static_cast<wchar_t>(kSeparator);
  return path + name + extension;
}

std::optional<EInOutError> PlaceAll(std::vector<Placement>& placements, SaveFileSystem& files) {
  for (Placement& p : placements) {
    try {
      if (files.Exists(p.target)) {
        files.Rename(p.target, p.target + kBackupSuffix);
        p.backedUp = true;
      }
      files.Rename(p.staged, p.target);
      p.placed = true;
    } catch (const EInOutError& error) {
      // Back out, latest first: the new file goes, the backup returns.
      for (auto it = placements.rbegin(); it != placements.rend(); ++it) {
        if (it->placed) files.Remove(it->target);
        if (it->backedUp) {
          try {
            files.Rename(it->target + kBackupSuffix, it->target);
          } catch (const EInOutError&) {
            // The previous file stays beside the target under the backup name.
          }
        }
        files.Remove(it->staged);
      }
      return error;
    }
  }
  for (const Placement& p : placements)
    if (p.backedUp) files.Remove(p.target + kBackupSuffix);
  return std::nullopt;
}

}  // namespace velmora
