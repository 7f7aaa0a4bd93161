#include "frames/FrameRecord.h"

#include <algorithm>
#include <cstring>

namespace velmora {

std::string FrameRecord::Path() const {
  const std::size_t length = std::min<std::size_t>(PathLength, MaxFramePathLength);
  return std::string(PathChars, length);
}

void FrameRecord::SetPath(std::string_view text) {
  const std::size_t length = std::min(text.size(), MaxFramePathLength);
  std::memset(PathChars, 0, sizeof PathChars);
  std::memcpy(PathChars, text.data(), length);
  PathLength = static_cast<std::uint8_t>(length);
}

FrameKind FrameRecord::Kind() const {
  if (PureColour == 1) return FrameKind::Colour;
  return HasPath() ? FrameKind::Picture : FrameKind::Empty;
}

std::unique_ptr<FrameRecord> NewFrameRecord() {
  auto record = std::make_unique<FrameRecord>();  // value-initialised: all bytes 0
  record->Effect = 0;
  record->DotSize = -1;
  record->Speed = -1;
  record->Colour = DefaultFrameColour;
  record->StillTime = DefaultStillTime;
  return record;
}

const char* FrameKindName(FrameKind kind) {
  switch (kind) {
    case FrameKind::Header: return "header";
    case FrameKind::Picture: return "picture";
    case FrameKind::Colour: return "colour";
    case FrameKind::Empty: return "empty";
  }
  return "empty";
}

FrameKind FrameKindAt(const FrameRecord& record, std::size_t index) {
  return index == 0 ? FrameKind::Header : record.Kind();
}

}  // namespace velmora
