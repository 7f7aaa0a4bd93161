// Fuzzes the frame-set reader with arbitrary file contents: the reader, the
// record accessors, the dump's text conversion and a write-back that must
// reproduce the whole records byte for byte.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "CodePage.h"
#include "frames/FrameSet.h"

namespace {

std::string TempPath(const char* suffix) {
  return "/tmp/velmora-fuzz-" + std::to_string(getpid()) + suffix;
}

bool WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool ok = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && ok;
}

std::string ReadFile(const std::string& path) {
  std::string bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return bytes;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
  std::fclose(file);
  return bytes;
}

bool IsValidJsonString(const std::string& json) {
  if (json.size() < 2 || json.front() != '"' || json.back() != '"') return false;
  for (std::size_t i = 1; i + 1 < json.size(); ++i) {
    const auto c = static_cast<unsigned char>(json[i]);
    if (c < 0x20) return false;
    if (c == '"') return false;
    if (c == '\\') ++i;  // the escaped character
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velmora;
  static const std::string input = TempPath(".fms");
  static const std::string output = TempPath("-out.fms");
  if (!WriteFile(input, data, size)) std::abort();

  const std::size_t whole = size / FrameRecordSize;
  FrameList list;
  bool threw = false;
  try {
    ReadFrameSetFile(input, list);
  } catch (const EInOutError& error) {
    threw = true;
    if (error.Code() != ErrorReadPastEnd) std::abort();
    if (error.Offset() != static_cast<std::int64_t>(whole * FrameRecordSize)) std::abort();
    if (list.Count() != 0) std::abort();
  }
  if (threw != (size % FrameRecordSize != 0)) std::abort();
  if (threw) return 0;
  if (list.Count() != whole + 1) std::abort();

  for (std::size_t i = 0; i < list.Count(); ++i) {
    const FrameRecord& record = list[i];
    const std::string path = record.Path();
    if (path.size() > MaxFramePathLength) std::abort();
    (void)FrameKindName(FrameKindAt(record, i));
    for (const unsigned codePage : {1252u, 65001u}) {
      if (!IsValidJsonString(fms::JsonString(fms::ToUtf8(path, codePage)))) std::abort();
    }
  }

  WriteFrameSetFile(output, list);
  const std::string written = ReadFile(output);
  if (written.size() != size || std::memcmp(written.data(), data, size) != 0) std::abort();
  return 0;
}
