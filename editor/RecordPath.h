// Which 8-bit path a frame record stores for a picture the user chose. A
// record holds at most 200 bytes in the system code page; a path that does
// not fit exactly is never cut (a cut path names another file or none).
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace velmora {

// Converts a path to the system code page; nothing when a character has no
// exact counterpart there (the result would not convert back to the path).
using ExactAnsiConverter = std::function<std::optional<std::string>(const std::wstring&)>;
// The short (8.3) form of a path, when the file system has one.
using ShortPathLookup = std::function<std::optional<std::wstring>(const std::wstring&)>;

// The path itself when it converts exactly and fits; otherwise its short
// form under the same conditions; otherwise nothing (the picture is refused).
std::optional<std::string> ChooseRecordPath(const std::wstring& path, const ExactAnsiConverter& toAnsi,
                                            const ShortPathLookup& shortForm);

}  // namespace velmora
