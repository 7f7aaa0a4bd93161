#include "editor/RecordPathWin32.h"

#include <windows.h>

#include <vector>

#include "editor/RecordPath.h"

namespace velmora {

std::optional<std::string> ExactInCodePage(const std::wstring& text, UINT codePage) {
  if (text.empty()) return std::string();
  const int wideLength = static_cast<int>(text.size());
  // UTF-8 (the ANSI code page where Windows is set to it) takes neither the
  // best-fit flag nor the default-character report: the call fails with
  // them. It has no best fit anyway, and the check below is exact.
  const UINT resolved = codePage == CP_ACP ? ::GetACP() : codePage;
  const bool utf8 = resolved == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* used = utf8 ? nullptr : &usedDefault;
  const int length = ::WideCharToMultiByte(codePage, flags, text.data(), wideLength, nullptr, 0, nullptr, used);
  if (length <= 0 || usedDefault) return std::nullopt;
  std::string ansi(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(codePage, flags, text.data(), wideLength, ansi.data(), length, nullptr, used);
  if (usedDefault) return std::nullopt;
  const int backLength = ::MultiByteToWideChar(codePage, 0, ansi.data(), length, nullptr, 0);
  std::wstring back(static_cast<std::size_t>(backLength > 0 ? backLength : 0), L'\0');
  if (backLength > 0) ::MultiByteToWideChar(codePage, 0, ansi.data(), length, back.data(), backLength);
  if (back != text) return std::nullopt;
  return ansi;
}

std::wstring RecordFileName(const std::string& path, UINT codePage) {
  if (path.empty()) return {};
  const int length = static_cast<int>(path.size());
  const int wideLength = ::MultiByteToWideChar(codePage, 0, path.data(), length, nullptr, 0);
  if (wideLength <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  ::MultiByteToWideChar(codePage, 0, path.data(), length, wide.data(), wideLength);
  const std::size_t cut = wide.find_last_of(L"\\:");
  return cut == std::wstring::npos ? wide : wide.substr(cut + 1);
}

namespace {

std::optional<std::string> ExactAnsi(const std::wstring& text) { return ExactInCodePage(text, CP_ACP); }

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
