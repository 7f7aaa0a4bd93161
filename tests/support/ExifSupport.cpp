#include "support/ExifSupport.h"

#include <algorithm>
#include <iterator>

namespace velmora::testing {

TiffBytes::TiffBytes(bool littleEndian) : le(littleEndian) {
  bytes.push_back(le ? 'I' : 'M');
  bytes.push_back(le ? 'I' : 'M');
  U16(42);
  U32(8);
}

void TiffBytes::U16(unsigned v) {
  bytes.push_back(std::uint8_t(le ? v : v >> 8));
  bytes.push_back(std::uint8_t(le ? v >> 8 : v));
}

void TiffBytes::U32(std::uint32_t v) {
  U16(le ? v & 0xFFFF : v >> 16);
  U16(le ? v >> 16 : v & 0xFFFF);
}

void TiffBytes::Entry(unsigned tag, unsigned type, std::uint32_t count, std::uint32_t value) {
  U16(tag);
  U16(type);
  U32(count);
  if (type == 3) {
    U16(value);
    U16(0);
  } else {
    U32(value);
  }
}

std::vector<std::uint8_t> WithApp1(const std::vector<std::uint8_t>& jpeg, const std::vector<std::uint8_t>& payload) {
  const std::size_t length = payload.size() + 2;
  const std::uint8_t marker[4] = {0xFF, 0xE1, std::uint8_t(length >> 8), std::uint8_t(length)};
  std::vector<std::uint8_t> out(jpeg.size() + 4 + payload.size());
  auto at = std::copy(jpeg.begin(), jpeg.begin() + 2, out.begin());
  at = std::copy(std::begin(marker), std::end(marker), at);
  at = std::copy(payload.begin(), payload.end(), at);
  std::copy(jpeg.begin() + 2, jpeg.end(), at);
  return out;
}

std::vector<std::uint8_t> ExifPayload(const TiffBytes& tiff) {
  static constexpr std::uint8_t kName[6] = {'E', 'x', 'i', 'f', 0, 0};
  std::vector<std::uint8_t> payload(sizeof kName + tiff.bytes.size());
  std::copy(std::begin(kName), std::end(kName), payload.begin());
  std::copy(tiff.bytes.begin(), tiff.bytes.end(), payload.begin() + sizeof kName);
  return payload;
}

std::vector<std::uint8_t> WithOrientation(const std::vector<std::uint8_t>& jpeg, int orientation, bool littleEndian) {
  TiffBytes tiff(littleEndian);
  tiff.U16(1);
  tiff.Entry(0x0112, 3, 1, std::uint32_t(orientation));
  tiff.U32(0);  // no IFD1
  return WithApp1(jpeg, ExifPayload(tiff));
}

}  // namespace velmora::testing
