// Fuzzes the Exif reader with the input as the TIFF structure of an Exif
// segment, so that every mutation lands in the IFDs, their links and the
// date texts rather than in the JPEG markers around them. Whatever it gives
// must lie inside the segment, and a date must be a day of the calendar. The
// input also goes to the date parser as text.
//   build/fuzz/fuzz/fuzz_exif -max_total_time=60 fuzz/corpus/exif
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "fade/Exif.h"

namespace {

void CheckDate(const std::optional<velmora::ExifDate>& date) {
  if (!date) return;
  static constexpr int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (date->year < 1 || date->year > 9999 || date->month < 1 || date->month > 12 || date->day < 1 ||
      date->day > kDays[date->month - 1] || date->hour < 0 || date->hour > 23 || date->minute < 0 ||
      date->minute > 59 || date->second < 0 || date->second > 60)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velmora;
  CheckDate(ParseExifDate(std::string_view(reinterpret_cast<const char*>(data), size)));

  // SOI, APP1 "Exif\0\0" + the input, EOI; the segment holds at most 65533 bytes.
  const std::size_t tiffSize = std::min<std::size_t>(size, 65533 - 6);
  const std::size_t length = tiffSize + 6 + 2;
  std::vector<std::uint8_t> file = {0xFF, 0xD8, 0xFF, 0xE1, std::uint8_t(length >> 8), std::uint8_t(length),
                                    'E',  'x',  'i',  'f',  0,    0};
  file.insert(file.end(), data, data + tiffSize);
  file.push_back(0xFF);
  file.push_back(0xD9);
  // Exactly as large as needed: the sanitizer sees any read past it.
  std::vector<std::uint8_t> exact(file);
  exact.shrink_to_fit();
  const ExifInfo info = ReadExif(exact.data(), exact.size());
  if (info.orientation < 1 || info.orientation > 8) std::abort();
  if (info.HasThumbnail() &&
      (info.thumbnailOffset < 12 || info.thumbnailOffset + info.thumbnailLength > 12 + tiffSize))
    std::abort();
  CheckDate(info.dateTaken);
  return 0;
}
