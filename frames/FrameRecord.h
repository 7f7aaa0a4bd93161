// One frame of a show: the fixed 244-byte record that is also the unit of
// the frame-set file. The struct is the on-disk layout, byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace velmora {

inline constexpr std::size_t FrameRecordSize = 244;
inline constexpr std::size_t MaxFramePathLength = 200;
// The system button-face colour in the Windows colour form.
inline constexpr std::uint32_t DefaultFrameColour = 0x8000000Fu;
inline constexpr std::int32_t DefaultStillTime = 3;

enum class FrameKind : std::uint8_t { Header, Picture, Colour, Empty };

struct FrameRecord {
  // Picture path of a frame, show name of the header entry: a length byte
  // (0 to 200) and the characters in the system's 8-bit code page.
  std::uint8_t PathLength;
  char PathChars[MaxFramePathLength];
  std::uint8_t Gap201[3];
  std::int32_t Effect;          // 0 none, 1 to 6 an effect, 7 any
  std::uint8_t Direction;       // 0 to 16
  std::uint8_t Gap209[3];
  std::int32_t DotSize;         // slider position 0 to 10, -1 when not used
  std::int32_t Speed;           // slider position 0 to 10, -1 when not used
  std::uint32_t Colour;         // Windows colour form (same bits as TColor)
  std::uint8_t PureColour;      // 1: the frame shows Colour, the path is unused
  std::uint8_t HasThumbnail;    // editor only
  std::uint8_t Gap226[2];
  std::int32_t ThumbnailNumber; // editor only: "Velm$<n>.bmp"
  std::int32_t StillTime;       // seconds
  std::int32_t Reserved236;
  std::int32_t Reserved240;

  // The path as a string. A damaged length byte above 200 is read as 200,
  // so the text never runs past the path field.
  std::string Path() const;
  // Stores text cut to its first 200 bytes; the unused characters are zeroed.
  void SetPath(std::string_view text);
  bool HasPath() const { return PathLength != 0; }

  // Picture, Colour or Empty (never Header: that depends on the list index).
  FrameKind Kind() const;
  bool IsEmptyFrame() const { return Kind() == FrameKind::Empty; }
};

static_assert(sizeof(FrameRecord) == FrameRecordSize);
static_assert(offsetof(FrameRecord, PathLength) == 0);
static_assert(offsetof(FrameRecord, PathChars) == 1);
static_assert(offsetof(FrameRecord, Gap201) == 201);
static_assert(offsetof(FrameRecord, Effect) == 204);
static_assert(offsetof(FrameRecord, Direction) == 208);
static_assert(offsetof(FrameRecord, Gap209) == 209);
static_assert(offsetof(FrameRecord, DotSize) == 212);
static_assert(offsetof(FrameRecord, Speed) == 216);
static_assert(offsetof(FrameRecord, Colour) == 220);
static_assert(offsetof(FrameRecord, PureColour) == 224);
static_assert(offsetof(FrameRecord, HasThumbnail) == 225);
static_assert(offsetof(FrameRecord, Gap226) == 226);
static_assert(offsetof(FrameRecord, ThumbnailNumber) == 228);
static_assert(offsetof(FrameRecord, StillTime) == 232);
static_assert(offsetof(FrameRecord, Reserved236) == 236);
static_assert(offsetof(FrameRecord, Reserved240) == 240);

// A new record, zero-filled, with the defaults: path empty, effect 0, dot
// size -1, speed -1, colour 0x8000000F, flags 0, still time 3, reserved 0.
std::unique_ptr<FrameRecord> NewFrameRecord();

// "header", "picture", "colour" or "empty".
const char* FrameKindName(FrameKind kind);
// The kind of the list entry at index (0 is always the header entry).
FrameKind FrameKindAt(const FrameRecord& record, std::size_t index);

}  // namespace velmora
