// What a show keeps beyond the written record fields: the show's options in
// the header record and the folder mark of a frame, both in the records'
// reserved fields, so that a file made without them reads exactly as before
// and a reader that ignores the reserved fields still reads the file.
//
// Header record, Reserved236 (show options):
//   bit 0       shuffle: every picture of the show once a round, in a fair
//               random order
//   bits 4-7    caption: 0 none, 1 date taken, 2 file name, 3 folder name,
//               4 date and folder; any other value reads as none
//   other bits  unknown: kept as they are when the options are written
// Frame record, Reserved236 (frame flags):
//   bit 0       folder frame: the path field names a folder, the frame plays
//               every picture in it
//   bit 1       top folder only: the folder's subfolders are not included
//               (clear, the default, includes them)
//   other bits  unknown: kept as they are, otherwise ignored
// A folder mark on a colour frame is ignored: the frame shows its colour.
#pragma once

#include <cstdint>

#include "frames/FrameRecord.h"

namespace velmora {

inline constexpr std::int32_t kShuffleBit = 1 << 0;
inline constexpr int kCaptionShift = 4;
inline constexpr std::int32_t kCaptionMask = 0xF << kCaptionShift;
inline constexpr std::int32_t kFolderFrameBit = 1 << 0;
inline constexpr std::int32_t kTopFolderOnlyBit = 1 << 1;

enum class CaptionMode : std::uint8_t { None = 0, DateTaken = 1, FileName = 2, FolderName = 3, DateAndFolder = 4 };

struct ShowOptions {
  bool Shuffle = false;
  CaptionMode Caption = CaptionMode::None;
  bool operator==(const ShowOptions&) const = default;
};

// The options the header record holds.
ShowOptions ReadShowOptions(const FrameRecord& header);
// Stores options in the header record, keeping the bits it does not know.
void WriteShowOptions(FrameRecord& header, const ShowOptions& options);

// True for a picture frame marked as a folder frame (never for a colour frame).
bool IsFolderFrame(const FrameRecord& frame);
// Whether a folder frame plays the pictures of its subfolders too.
bool FolderIncludesSubfolders(const FrameRecord& frame);
// Marks frame as a folder frame (or clears the mark), keeping unknown bits.
void SetFolderFrame(FrameRecord& frame, bool folder, bool includeSubfolders = true);

}  // namespace velmora
