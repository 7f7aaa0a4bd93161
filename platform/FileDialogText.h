// The text handling of the multi-select file-open dialog, kept free of
// Win32 so it is tested natively: the filter string, the result buffer with
// its list of names, and how far to grow the buffer when it was too small.
// Strings are std::wstring (UTF-16 code units on Windows).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Turns "Name|pattern|Name|pattern" into the dialog's form: each part ended
// by a NUL and the whole by a second NUL. An empty filter gives two NULs.
std::wstring DialogFilter(std::wstring_view barSeparated);

// Reads the dialog's result buffer (`buffer` up to its capacity; the list
// ends at the first empty string). One string is a full path; several are
// the directory followed by names in the dialog's order, each joined to the
// directory with one backslash (a name that is a full path itself is kept).
// Returns the full paths in the dialog's order; empty for an empty buffer.
std::vector<std::wstring> ParseDialogResult(std::wstring_view buffer);

// The largest result buffer the dialog is given, in characters.
inline constexpr std::size_t kMaxDialogBuffer = 1u << 22;

// The buffer size, in characters, for another run after the dialog said
// the buffer of `current` characters was too small and asked for
// `requested` (the number it put in the buffer's first character, which
// may be too small itself or 0). Always larger than current; 0 when the
// buffer cannot grow any further (kMaxDialogBuffer reached).
std::size_t GrownDialogBuffer(std::size_t current, std::size_t requested);

}  // namespace velmora
