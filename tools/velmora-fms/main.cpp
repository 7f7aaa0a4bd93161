// velmora-fms: prints the records of a frame-set file.
//
//   velmora-fms dump FILE [--codepage N]
//
// One JSON object per record and line, in file order. Exit status: 0 when
// the whole file was read, 1 on a read error (the whole records before it
// are printed first), 2 for bad usage, a missing file or an unsupported
// code page.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "CodePage.h"
#include "frames/FrameSet.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

using namespace velmora;

constexpr const char* kUsage =
    "usage: velmora-fms dump FILE [--codepage N]\n"
    "  Prints each record of the frame-set file FILE as one JSON object per line.\n"
    "  --codepage N  code page of the paths in the file (default: the system's\n"
    "                ANSI code page on Windows, 1252 elsewhere; 65001 is UTF-8)\n";

int Usage(const char* problem) {
  std::fprintf(stderr, "velmora-fms: %s\n%s", problem, kUsage);
  return 2;
}

bool ParseCodePage(const std::string& text, unsigned& codePage) {
  if (text.empty() || text.size() > 5) return false;
  unsigned value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0 || value > 65535) return false;
  codePage = value;
  return true;
}

std::string RecordJson(const FrameRecord& record, std::size_t index, unsigned codePage) {
  char colour[16];
  std::snprintf(colour, sizeof colour, "0x%08X", static_cast<unsigned>(record.Colour));
  std::string line = "{\"index\":" + std::to_string(index);
  line += ",\"kind\":\"";
  line += FrameKindName(FrameKindAt(record, index));
  line += "\",\"path\":" + fms::JsonString(fms::ToUtf8(record.Path(), codePage));
  line += ",\"effect\":" + std::to_string(record.Effect);
  line += ",\"direction\":" + std::to_string(record.Direction);
  line += ",\"speed\":" + std::to_string(record.Speed);
  line += ",\"dot_size\":" + std::to_string(record.DotSize);
  line += ",\"colour\":\"" + std::string(colour) + "\"";
  line += ",\"pure_colour\":" + std::to_string(record.PureColour);
  line += ",\"still\":" + std::to_string(record.StillTime);
  line += "}\n";
  return line;
}

void PrintRecords(const FrameList& list, unsigned codePage) {
  for (std::size_t i = 0; i < list.Count(); ++i) {
    const std::string line = RecordJson(list[i], i, codePage);
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
  std::fflush(stdout);
}

int Dump(const std::string& path, unsigned codePage) {
  FrameList list;
  try {
    if (!ReadFrameSetRecords(path, list)) {
      std::fprintf(stderr, "velmora-fms: no such file: %s\n", path.c_str());
      return 2;
    }
  } catch (const EInOutError& error) {
    PrintRecords(list, codePage);
    std::fprintf(stderr, "velmora-fms: %s\n", error.what());
    return 1;
  }
  PrintRecords(list, codePage);
  return 0;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) return Usage("no command given");
  if (args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (args[0] != "dump") return Usage(("unknown command: " + args[0]).c_str());

  std::string file;
  bool haveFile = false;
  unsigned codePage = fms::DefaultCodePage();
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--codepage") {
      if (i + 1 >= args.size()) return Usage("--codepage needs a number");
      if (!ParseCodePage(args[++i], codePage)) {
        return Usage(("not a code page number: " + args[i]).c_str());
      }
    } else if (args[i].size() > 1 && args[i][0] == '-' && args[i][1] == '-') {
      return Usage(("unknown option: " + args[i]).c_str());
    } else if (!haveFile) {
      file = args[i];
      haveFile = true;
    } else {
      return Usage("more than one FILE given");
    }
  }
  if (!haveFile) return Usage("no FILE given");
  if (!fms::CodePageSupported(codePage)) {
#ifdef _WIN32
    std::fprintf(stderr, "velmora-fms: code page %u is not installed\n", codePage);
#else
    std::fprintf(stderr,
                 "velmora-fms: code page %u is not supported here (supported: 1252, 65001)\n",
                 codePage);
#endif
    return 2;
  }
  return Dump(file, codePage);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // Lines end in "\n" alone, as on every other host.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "velmora-fms: %s\n", error.what());
    return 1;
  }
}
