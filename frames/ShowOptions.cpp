#include "frames/ShowOptions.h"

namespace velmora {

ShowOptions ReadShowOptions(const FrameRecord& header) {
  ShowOptions options;
  options.Shuffle = (header.Reserved236 & kShuffleBit) != 0;
  const int caption = (header.Reserved236 & kCaptionMask) >> kCaptionShift;
  if (caption <= static_cast<int>(CaptionMode::DateAndFolder))
    options.Caption = static_cast<CaptionMode>(caption);
  return options;
}

void WriteShowOptions(FrameRecord& header, const ShowOptions& options) {
  std::int32_t bits = header.Reserved236 & ~(kShuffleBit | kCaptionMask);
  if (options.Shuffle) bits |= kShuffleBit;
  bits |= (static_cast<std::int32_t>(options.Caption) << kCaptionShift) & kCaptionMask;
  header.Reserved236 = bits;
}

bool IsFolderFrame(const FrameRecord& frame) {
  return frame.Kind() == FrameKind::Picture && (frame.Reserved236 & kFolderFrameBit) != 0;
}

bool FolderIncludesSubfolders(const FrameRecord& frame) { return (frame.Reserved236 & kTopFolderOnlyBit) == 0; }

void SetFolderFrame(FrameRecord& frame, bool folder, bool includeSubfolders) {
  std::int32_t bits = frame.Reserved236 & ~(kFolderFrameBit | kTopFolderOnlyBit);
  if (folder) {
    bits |= kFolderFrameBit;
    if (!includeSubfolders) bits |= kTopFolderOnlyBit;
  }
  frame.Reserved236 = bits;
}

}  // namespace velmora
