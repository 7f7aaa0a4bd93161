#include "editor/RecordPathWin32.h"

#include <windows.h>

#include <vector>

#include "editor/RecordPath.h"

namespace velmora {

namespace {

// The ANSI form of `text` when it converts back to exactly `text`.
std::optional<std::string> ExactAnsi(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int wideLength = static_cast<int>(text.size());
  BOOL usedDefault = FALSE;
  const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), wideLength, nullptr, 0,
                                           nullptr, &usedDefault);
  if (length <= 0 || usedDefault) return std::nullopt;
  std::string ansi(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), wideLength, ansi.data(), length, nullptr,
                        &usedDefault);
  if (usedDefault) return std::nullopt;
  const int backLength = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
  std::wstring back(static_cast<std::size_t>(backLength > 0 ? backLength : 0), L'\0');
  if (backLength > 0) ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, back.data(), backLength);
  if (back != text) return std::nullopt;
  return ansi;
}

std::optional<std::wstring> ShortForm(const std::wstring& path) {
  const DWORD needed = ::GetShortPathNameW(path.c_str(), nullptr, 0);
  if (needed == 0) return std::nullopt;
  std::vector<wchar_t> buffer(needed + 1);
  const DWORD length = ::GetShortPathNameW(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return std::nullopt;
  std::wstring shortPath(buffer.data(), length);
  if (shortPath == path) return std::nullopt;
  return shortPath;
}

}  // namespace

std::optional<std::string> PathForRecord(const std::wstring& path) {
  return ChooseRecordPath(path, ExactAnsi, ShortForm);
}

}  // namespace velmora
