#include "fade/PictureProbe.h"

#include <algorithm>
#include <cstring>

namespace velmora {
namespace {

std::uint32_t Be32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}
std::uint32_t Le16(const std::uint8_t* p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }
std::uint32_t Le24(const std::uint8_t* p) { return Le16(p) | std::uint32_t(p[2]) << 16; }
std::uint32_t Le32(const std::uint8_t* p) { return Le24(p) | std::uint32_t(p[3]) << 24; }

PeekedSize Sized(std::uint32_t width, std::uint32_t height) {
  return PeekedSize{width, height, std::uint64_t(width) * height};
}

std::optional<PeekedSize> PeekPng(const std::uint8_t* d, std::size_t n) {
  static constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (n < 24 || std::memcmp(d, kSignature, 8) != 0 || std::memcmp(d + 12, "IHDR", 4) != 0) return std::nullopt;
  return Sized(Be32(d + 16), Be32(d + 20));
}

// Skips GIF data sub-blocks from at; false when they run past the end.
bool SkipSubBlocks(const std::uint8_t* d, std::size_t n, std::size_t& at) {
  while (at < n) {
    const std::size_t length = d[at++];
    if (length == 0) return true;
    at += length;
  }
  return false;
}

std::optional<PeekedSize> PeekGif(const std::uint8_t* d, std::size_t n) {
  if (n < 13 || (std::memcmp(d, "GIF87a", 6) != 0 && std::memcmp(d, "GIF89a", 6) != 0)) return std::nullopt;
  PeekedSize size = Sized(Le16(d + 6), Le16(d + 8));
  std::size_t at = 13;
  if (d[10] & 0x80) at += 3u << ((d[10] & 7) + 1);  // global colour table
  // Every frame's descriptor: a decoder may hold any of them whole.
  while (at < n) {
    const std::uint8_t block = d[at++];
    if (block == 0x3B) break;  // trailer
    if (block == 0x21) {       // extension: label, then sub-blocks
      ++at;
      if (!SkipSubBlocks(d, n, at)) break;
    } else if (block == 0x2C) {  // image descriptor
      if (at + 9 > n) break;
      const std::uint64_t w = Le16(d + at + 4);
      const std::uint64_t h = Le16(d + at + 6);
      size.largestPixels = std::max(size.largestPixels, w * h);
      const std::uint8_t flags = d[at + 8];
      at += 9;
      if (flags & 0x80) at += 3u << ((flags & 7) + 1);  // local colour table
      ++at;                                             // LZW code size
      if (!SkipSubBlocks(d, n, at)) break;
    } else {
      break;  // damaged: what was read so far stands
    }
  }
  return size;
}

std::optional<PeekedSize> PeekTiff(const std::uint8_t* d, std::size_t n) {
  if (n < 8) return std::nullopt;
  const bool little = d[0] == 'I' && d[1] == 'I' && d[2] == 42 && d[3] == 0;
  const bool big = d[0] == 'M' && d[1] == 'M' && d[2] == 0 && d[3] == 42;
  if (!little && !big) return std::nullopt;
  auto u16 = [&](std::size_t at) { return little ? Le16(d + at) : std::uint32_t(d[at]) << 8 | d[at + 1]; };
  auto u32 = [&](std::size_t at) { return little ? Le32(d + at) : Be32(d + at); };
  const std::size_t ifd = u32(4);
  if (ifd > n - 2) return std::nullopt;
  const std::size_t count = u16(ifd);
  std::uint32_t width = 0, height = 0;
  int orientation = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = ifd + 2 + i * 12;
    if (entry + 12 > n) break;
    const std::uint32_t tag = u16(entry);
    const std::uint32_t type = u16(entry + 2);
    const std::uint32_t value = type == 3 ? u16(entry + 8) : type == 4 ? u32(entry + 8) : 0;
    if (tag == 256 || tag == 257) (tag == 256 ? width : height) = value;
    if (tag == 274 && type == 3 && u32(entry + 4) == 1 && value >= 1 && value <= 8) orientation = int(value);
  }
  if (width == 0 || height == 0) return std::nullopt;
  PeekedSize size = Sized(width, height);
  size.orientation = orientation;
  return size;
}

std::optional<PeekedSize> PeekWebp(const std::uint8_t* d, std::size_t n) {
  if (n < 30 || std::memcmp(d, "RIFF", 4) != 0 || std::memcmp(d + 8, "WEBP", 4) != 0) return std::nullopt;
  const std::uint8_t* chunk = d + 12;
  if (std::memcmp(chunk, "VP8X", 4) == 0) return Sized(Le24(d + 24) + 1, Le24(d + 27) + 1);
  if (std::memcmp(chunk, "VP8L", 4) == 0) {
    if (d[20] != 0x2F) return std::nullopt;
    const std::uint32_t bits = Le32(d + 21);
    return Sized((bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1);
  }
  if (std::memcmp(chunk, "VP8 ", 4) == 0) {
    if (d[23] != 0x9D || d[24] != 0x01 || d[25] != 0x2A) return std::nullopt;
    return Sized(Le16(d + 26) & 0x3FFF, Le16(d + 28) & 0x3FFF);
  }
  return std::nullopt;
}

}  // namespace

bool IsSystemDecodedExtension(std::string_view extension) {
  return std::find(std::begin(kSystemDecodedExtensions), std::end(kSystemDecodedExtensions), extension) !=
         std::end(kSystemDecodedExtensions);
}

std::string WithSystemDecodedKinds(std::string_view filter) {
  static constexpr std::string_view kPairs[][2] = {
      {"PNG", "*.png"}, {"GIF", "*.gif"}, {"TIFF", "*.tif;*.tiff"}, {"HEIC", "*.heic;*.heif"}};
  std::string added;  // ";*.png;*.gif..."
  std::string pairs;  // "|PNG (*.png)|*.png..."
  for (const auto& [name, patterns] : kPairs) {
    added += ";" + std::string(patterns);
    pairs += "|" + std::string(name) + " (" + std::string(patterns) + ")|" + std::string(patterns);
  }
  std::string out(filter);
  const std::size_t bar = out.find('|');
  if (out.rfind("All (", 0) == 0 && bar != std::string::npos && bar > 0 && out[bar - 1] == ')') {
    const std::size_t patternsEnd = std::min(out.find('|', bar + 1), out.size());
    out.insert(patternsEnd, added);
    out.insert(bar - 1, added);
  }
  if (out.empty()) return pairs.substr(1);
  return out + pairs;
}

std::optional<PeekedSize> PeekPictureSize(const std::uint8_t* data, std::size_t size) {
  if (!data) return std::nullopt;
  for (auto peek : {&PeekPng, &PeekGif, &PeekTiff, &PeekWebp})
    if (auto found = peek(data, size)) return found;
  return std::nullopt;
}

std::string_view PictureKindName(const std::uint8_t* data, std::size_t size) {
  if (!data || size < 12) return "";
  auto at = [&](std::size_t offset, std::string_view text) {
    return std::memcmp(data + offset, text.data(), text.size()) == 0;
  };
  if (at(0, "\x89PNG")) return "PNG";
  if (at(0, "GIF8")) return "GIF";
  if (at(0, "II\xBC")) return "JPEG XR";
  if (at(0, std::string_view("II*\0", 4)) || at(0, std::string_view("MM\0*", 4))) return "TIFF";
  if (at(0, "RIFF") && at(8, "WEBP")) return "WebP";
  if (at(4, "ftyp")) {
    for (std::string_view brand : {"heic", "heix", "hevc", "hevx", "heim", "heis", "mif1", "msf1"})
      if (at(8, brand)) return "HEIF";
  }
  return "";
}

void ComposeRowOverBlack(const std::uint8_t* bgra, int width, std::uint8_t* bgr) {
  for (int x = 0; x < width; ++x, bgra += 4, bgr += 3) {
    const unsigned a = bgra[3];
    for (int c = 0; c < 3; ++c) bgr[c] = std::uint8_t((bgra[c] * a + 127) / 255);
  }
}

}  // namespace velmora
