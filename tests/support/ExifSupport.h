// JPEG files with an Exif segment, for the tests of orientation.
#pragma once

#include <cstdint>
#include <vector>

namespace velmora::testing {

// The TIFF part of an Exif segment in either byte order, its first IFD at 8.
struct TiffBytes {
  explicit TiffBytes(bool littleEndian);
  void U16(unsigned v);
  void U32(std::uint32_t v);
  // An IFD entry; a SHORT value sits in the first two bytes of its field.
  void Entry(unsigned tag, unsigned type, std::uint32_t count, std::uint32_t value);

  bool le;
  std::vector<std::uint8_t> bytes;
};

// jpeg with an APP1 segment of the given payload right after its SOI.
std::vector<std::uint8_t> WithApp1(const std::vector<std::uint8_t>& jpeg, const std::vector<std::uint8_t>& payload);
// "Exif\0\0" and the TIFF bytes: an APP1 payload.
std::vector<std::uint8_t> ExifPayload(const TiffBytes& tiff);
// jpeg with an Exif segment whose IFD0 holds only the orientation tag.
std::vector<std::uint8_t> WithOrientation(const std::vector<std::uint8_t>& jpeg, int orientation,
                                          bool littleEndian = true);

}  // namespace velmora::testing
