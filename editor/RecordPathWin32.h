// The path a frame record stores for a picture chosen in a dialog (see
// editor/RecordPath.h): the path in the ANSI code page when it converts back
// exactly and fits in 200 bytes, else its short 8.3 form under the same
// conditions, else nothing: the caller refuses that picture with a message.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace velmora {

std::optional<std::string> PathForRecord(const std::wstring& path);

// `text` in code page `codePage` (CP_ACP: the system's ANSI code page, which
// may be UTF-8) when it converts back to exactly `text`; nothing otherwise.
std::optional<std::string> ExactInCodePage(const std::wstring& text, UINT codePage);

// The file-name part of a record's 8-bit path in code page `codePage`: the
// characters after the last "\" or ":". Split as characters, not bytes: the
// second byte of a double-byte character (Big5 許, 功) can be a backslash.
std::wstring RecordFileName(const std::string& path, UINT codePage = CP_ACP);

}  // namespace velmora
