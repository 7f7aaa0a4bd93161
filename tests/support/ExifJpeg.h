// Camera-like JPEG files for tests and benchmarks: a JPEG with an APP1
// "Exif" segment right after its SOI that holds an orientation tag and an
// embedded small JPEG, as a camera writes them (little-endian TIFF, IFD0
// with the orientation, IFD1 with JPEGInterchangeFormat and its length).
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace velmora::testing {

inline std::vector<std::uint8_t> WithExifThumbnail(const std::vector<std::uint8_t>& jpeg,
                                                   const std::vector<std::uint8_t>& thumbnail,
                                                   int orientation = 1) {
  std::vector<std::uint8_t> tiff;
  auto u16 = [&tiff](unsigned v) {
    tiff.push_back(std::uint8_t(v));
    tiff.push_back(std::uint8_t(v >> 8));
  };
  auto u32 = [&](std::uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  tiff.push_back('I');
  tiff.push_back('I');
  u16(42);
  u32(8);
  // IFD0 at 8: the orientation; IFD1 follows at 26.
  u16(1);
  u16(0x0112), u16(3), u32(1), u16(unsigned(orientation)), u16(0);
  u32(26);
  // IFD1 at 26: where the small JPEG is (right after it, at 56).
  u16(2);
  u16(0x0201), u16(4), u32(1), u32(56);
  u16(0x0202), u16(4), u32(1), u32(std::uint32_t(thumbnail.size()));
  u32(0);
  tiff.insert(tiff.end(), thumbnail.begin(), thumbnail.end());

  const std::size_t length = tiff.size() + 6 + 2;
  const std::uint8_t head[] = {0xFF, 0xD8, 0xFF, 0xE1, std::uint8_t(length >> 8), std::uint8_t(length),
                               'E',  'x',  'i',  'f',  0,    0};
  // Plain copies: GCC 12 at -O3 warns wrongly about inserting into vectors here.
  std::vector<std::uint8_t> out(sizeof head + tiff.size() + jpeg.size() - 2);
  std::memcpy(out.data(), head, sizeof head);
  std::memcpy(out.data() + sizeof head, tiff.data(), tiff.size());
  std::memcpy(out.data() + sizeof head + tiff.size(), jpeg.data() + 2, jpeg.size() - 2);
  return out;
}

}  // namespace velmora::testing
