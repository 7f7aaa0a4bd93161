// Decoding of the 8-bit strings stored in frame records into UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmora::fms {

// The code page used when none is given: the system ANSI code page on
// Windows, 1252 elsewhere.
unsigned DefaultCodePage();

// True when text in this code page can be decoded here.
bool CodePageSupported(unsigned codePage);

// text in codePage as UTF-8; bytes that cannot be decoded become U+FFFD.
std::string ToUtf8(std::string_view text, unsigned codePage);

// Writes text (UTF-8) as a JSON string literal, quotes included: quotes and
// backslashes escaped, control characters (U+0000-001F, U+007F-009F) as \u00XX.
std::string JsonString(std::string_view utf8);

}  // namespace velmora::fms
