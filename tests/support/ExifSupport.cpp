#include "support/ExifSupport.h"

namespace velmora::testing {

std::vector<std::uint8_t> WithApp1(const std::vector<std::uint8_t>& jpeg, const std::vector<std::uint8_t>& payload) {
  std::vector<std::uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
  const std::size_t length = payload.size() + 2;
  out.insert(out.end(), {0xFF, 0xE1, std::uint8_t(length >> 8), std::uint8_t(length)});
  out.insert(out.end(), payload.begin(), payload.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

std::vector<std::uint8_t> WithOrientation(const std::vector<std::uint8_t>& jpeg, int orientation, bool littleEndian) {
  std::vector<std::uint8_t> p{'E', 'x', 'i', 'f', 0, 0};
  auto u16 = [&](unsigned v) {
    if (littleEndian) p.insert(p.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
    else p.insert(p.end(), {std::uint8_t(v >> 8), std::uint8_t(v)});
  };
  auto u32 = [&](std::uint32_t v) {
    if (littleEndian) {
      u16(v & 0xFFFF);
      u16(v >> 16);
    } else {
      u16(v >> 16);
      u16(v & 0xFFFF);
    }
  };
  p.insert(p.end(), littleEndian ? std::initializer_list<std::uint8_t>{'I', 'I'} : std::initializer_list<std::uint8_t>{'M', 'M'});
  u16(42);
  u32(8);       // IFD0
  u16(1);       // one entry
  u16(0x0112);  // orientation
  u16(3);       // SHORT
  u32(1);
  u16(unsigned(orientation));
  u16(0);
  u32(0);  // no IFD1
  return WithApp1(jpeg, p);
}

}  // namespace velmora::testing
