// Fuzzes the frame-set reader with arbitrary file contents: the reader, the
// record accessors, the dump's text conversion and a write-back that must
// reproduce the whole records byte for byte. Then the fields kept in the
// reserved words: the show options and folder marks read back as written,
// unknown bits kept, and a round of the show (in order and shuffled, each
// folder frame standing for a few pictures) giving every item once and
// folder pictures only for frames marked as folders.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "CodePage.h"
#include "app/Random.h"
#include "frames/FrameSet.h"
#include "frames/ShowOptions.h"
#include "saver/ShowOrder.h"

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

// The show's frames as a round order sees them: a folder frame finds
// (its still time mod 5) pictures, all of them already.
class ShowOfList final : public velmora::ShowContents {
 public:
  explicit ShowOfList(const velmora::FrameList& list) {
    for (std::size_t i = 1; i + 1 < list.Count(); ++i) frames_.push_back(list[i]);
  }
  std::size_t Frames() const override { return frames_.size(); }
  bool IsFolder(std::size_t f) const override { return velmora::IsFolderFrame(frames_[f]); }
  std::size_t Found(std::size_t f) const override { return std::size_t(frames_[f].StillTime & 0x7FFFFFFF) % 5; }
  bool Finished(std::size_t) const override { return true; }
  std::string KeyOf(const velmora::ShowItem& item) const override {
    return std::to_string(item.frame) + "/" + std::to_string(item.picture);
  }

 private:
  std::vector<velmora::FrameRecord> frames_;
};

void CheckReservedFields(const velmora::FrameList& list) {
  using namespace velmora;
  if (list.Count() == 0) return;
  FrameRecord header = list[0];
  const ShowOptions options = ReadShowOptions(header);
  if (static_cast<int>(options.Caption) > static_cast<int>(CaptionMode::DateAndFolder)) std::abort();
  WriteShowOptions(header, options);
  if (!(ReadShowOptions(header) == options)) std::abort();
  if ((header.Reserved236 & ~(kShuffleBit | kCaptionMask)) != (list[0].Reserved236 & ~(kShuffleBit | kCaptionMask)))
    std::abort();
  for (std::size_t i = 1; i < list.Count(); ++i) {
    FrameRecord frame = list[i];
    if (IsFolderFrame(frame) && frame.Kind() != FrameKind::Picture) std::abort();
    if (!IsFolderFrame(frame)) continue;
    SetFolderFrame(frame, true, FolderIncludesSubfolders(frame));
    if (frame.Reserved236 != list[i].Reserved236) std::abort();
  }

  const ShowOfList show(list);
  std::size_t total = 0;
  for (std::size_t f = 0; f < show.Frames(); ++f) total += show.IsFolder(f) ? show.Found(f) : 1;
  for (const bool shuffle : {false, true}) {
    SetRandSeed(std::uint32_t(list[0].Reserved240));
    ShowOrder order(show, shuffle);
    for (int round = 0; round < 2; ++round) {
      order.BeginRound();
      std::set<std::string> seen;
      ShowItem item;
      for (ShowOrder::Result r; (r = order.Next(item)) != ShowOrder::Result::RoundOver;) {
        if (r != ShowOrder::Result::Item || item.frame >= show.Frames()) std::abort();
        if (!show.IsFolder(item.frame) ? item.picture != 0 : item.picture >= show.Found(item.frame)) std::abort();
        if (!seen.insert(show.KeyOf(item)).second) std::abort();
      }
      if (seen.size() != total) std::abort();
    }
  }
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

  CheckReservedFields(list);

  WriteFrameSetFile(output, list);
  const std::string written = ReadFile(output);
  if (written.size() != size || std::memcmp(written.data(), data, size) != 0) std::abort();
  return 0;
}
