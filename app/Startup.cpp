#include "app/Startup.h"

#include <limits>

namespace velmora {

SaverMode Mode = SaverMode::Run;
std::string FirstArg;
std::string SecondArg;
std::string SystemDir;
std::string SaverBaseName;
bool IsEditorExe = false;
std::intptr_t PreviewParent = 0;

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

namespace {

// True when the argument starts with "/L", "-L" or "L" for the given letter.
bool SelectsLetter(const std::string& arg, char letter) {
  if (arg.empty()) return false;
  if (arg[0] == letter) return true;
  return arg.size() >= 2 && (arg[0] == '/' || arg[0] == '-') && arg[1] == letter;
}

}  // namespace

CommandLine ParseCommandLine(const std::string& first, const std::string& second) {
  CommandLine line;
  line.FirstArg = UpperAscii(first);
  line.SecondArg = UpperAscii(second);
  line.Mode = SaverMode::Run;
  // All three tests run; each overwrites the mode when it matches.
  if (SelectsLetter(line.FirstArg, 'A')) line.Mode = SaverMode::ChangePassword;
  if (SelectsLetter(line.FirstArg, 'P')) line.Mode = SaverMode::Preview;
  if (SelectsLetter(line.FirstArg, 'C') || line.FirstArg.empty()) line.Mode = SaverMode::Configure;
  return line;
}

bool ParseWindowHandle(const std::string& text, std::intptr_t& handle) {
  // Handles are written in decimal, normally unsigned; a leading minus is
  // accepted for hosts that print the handle as a signed number.
  std::size_t pos = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) pos = 1;
  if (pos >= text.size()) return false;
  // Unsigned values up to the pointer width are accepted (and keep their bits);
  // negative ones down to the smallest intptr_t.
  const std::uintmax_t limit =
      negative ? static_cast<std::uintmax_t>(std::numeric_limits<std::intptr_t>::max()) + 1
               : static_cast<std::uintmax_t>(std::numeric_limits<std::uintptr_t>::max());
  std::uintmax_t value = 0;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c < '0' || c > '9') return false;
    const auto digit = static_cast<std::uintmax_t>(c - '0');
    if (value > (limit - digit) / 10) return false;
    value = value * 10 + digit;
  }
  const auto bits = static_cast<std::uintptr_t>(value);
  handle = negative ? static_cast<std::intptr_t>(std::uintptr_t{0} - bits)
                    : static_cast<std::intptr_t>(bits);
  return true;
}

std::string SaverBaseNameOf(const std::string& fileName) {
  const std::size_t dot = fileName.find('.');
  return dot == std::string::npos ? std::string() : fileName.substr(0, dot);
}

bool IsEditorExeName(const std::string& fileName) {
  return UpperAscii(fileName) == "VELMORA.EXE";
}

bool IsSystemDirectory(const std::string& exeDirectory, const std::string& systemDir) {
  std::string exe = UpperAscii(exeDirectory);
  if (exe.empty() || exe.back() != '\\') exe += '\\';
  std::string sys = UpperAscii(systemDir);
  if (sys.empty() || sys.back() != '\\') sys += '\\';
  return exe == sys;
}

}  // namespace velmora
