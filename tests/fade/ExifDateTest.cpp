// When a photo was taken, from crafted Exif blocks: each tag in both byte
// orders, their order of preference, and blocks that lie.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fade/Exif.h"
#include "fade/JpegGraphic.h"
#include "support/ExifSupport.h"

namespace velmora {
namespace {

using testing::ExifPayload;
using testing::TiffBytes;
using testing::WithApp1;

// How the first entry of the Exif IFD (or, with ExifIfdPast/Loops, the link
// to that IFD; with CutBeforeText, the block) lies.
enum class Damage { None, OffsetPast, CountPast, NotAscii, ExifIfdPast, ExifIfdLoops, CutBeforeText };

struct DateCase {
  const char* name;
  bool le;
  const char* original;   // DateTimeOriginal, nullptr: no entry
  const char* digitized;  // DateTimeDigitized
  const char* dateTime;   // IFD0's DateTime
  std::optional<ExifDate> expected;
  Damage damage = Damage::None;
};

// IFD0 (DateTime, the Exif IFD link), the Exif IFD (the two dates), then the
// texts, as a camera lays them out.
std::vector<std::uint8_t> DateTiff(const DateCase& c) {
  TiffBytes t(c.le);
  std::vector<std::pair<unsigned, const char*>> exif;
  if (c.original) exif.emplace_back(0x9003, c.original);
  if (c.digitized) exif.emplace_back(0x9004, c.digitized);
  const bool hasExif = !exif.empty();
  const std::uint32_t ifd0Entries = (c.dateTime ? 1 : 0) + (hasExif ? 1 : 0);
  const std::uint32_t exifAt = 8 + 2 + 12 * ifd0Entries + 4;
  std::uint32_t textAt = exifAt + (hasExif ? 2 + 12 * std::uint32_t(exif.size()) + 4 : 0);
  std::string texts;
  auto textEntry = [&](unsigned tag, const char* text, bool damaged) {
    std::uint32_t count = std::uint32_t(std::strlen(text) + 1), offset = textAt + std::uint32_t(texts.size());
    unsigned type = 2;
    texts.append(text, count);
    if (damaged && c.damage == Damage::OffsetPast) offset = 0xFFFFFF00u;
    if (damaged && c.damage == Damage::CountPast) count = 0x10000;
    if (damaged && c.damage == Damage::NotAscii) type = 7;
    t.Entry(tag, type, count, offset);
  };
  t.U16(ifd0Entries);
  if (c.dateTime) textEntry(0x0132, c.dateTime, false);
  if (hasExif) {
    const std::uint32_t link =
        c.damage == Damage::ExifIfdPast ? 0xFFFF0000u : c.damage == Damage::ExifIfdLoops ? 8 : exifAt;
    t.Entry(0x8769, 4, 1, link);
  }
  t.U32(0);
  if (hasExif) {
    t.U16(unsigned(exif.size()));
    for (std::size_t i = 0; i < exif.size(); ++i) textEntry(exif[i].first, exif[i].second, i == 0);
    t.U32(0);
  }
  if (c.damage != Damage::CutBeforeText) t.bytes.insert(t.bytes.end(), texts.begin(), texts.end());
  return t.bytes;
}

TEST(ExifDate, PrefersOriginalThenDigitizedThenDateTimeAndNeverReadsOutsideTheBlock) {
  const ExifDate may3{2024, 5, 3, 10, 11, 12};
  const ExifDate newYearsEve{2019, 12, 31, 23, 59, 59};
  const ExifDate feb3{2001, 2, 3, 4, 5, 6};
  const char* kMay3 = "2024:05:03 10:11:12";
  const char* kEve = "2019:12:31 23:59:59";
  const char* kFeb3 = "2001:02:03 04:05:06";
  const DateCase cases[] = {
      {"little-endian original", true, kMay3, nullptr, nullptr, may3},
      {"big-endian original", false, kMay3, nullptr, nullptr, may3},
      {"little-endian digitized alone", true, nullptr, kEve, nullptr, newYearsEve},
      {"big-endian digitized alone", false, nullptr, kEve, nullptr, newYearsEve},
      {"little-endian DateTime alone", true, nullptr, nullptr, kFeb3, feb3},
      {"big-endian DateTime alone", false, nullptr, nullptr, kFeb3, feb3},
      {"all three: the original", false, kMay3, kEve, kFeb3, may3},
      {"digitized before DateTime", true, nullptr, kEve, kFeb3, newYearsEve},
      {"original all zeros: digitized", false, "0000:00:00 00:00:00", kEve, nullptr, newYearsEve},
      {"original blank: DateTime", true, "    :  :     :  :  ", nullptr, kFeb3, feb3},
      {"30 February: nothing", false, "2023:02:30 00:00:00", nullptr, nullptr, std::nullopt},
      {"29 February of a leap year", true, "2024:02:29 08:00:00", nullptr, nullptr, ExifDate{2024, 2, 29, 8, 0, 0}},
      {"a date without its time", true, "2024:05:03", nullptr, nullptr, ExifDate{2024, 5, 3}},
      {"no dates", true, nullptr, nullptr, nullptr, std::nullopt},
      {"original's offset past the block: digitized", true, kMay3, kEve, nullptr, newYearsEve, Damage::OffsetPast},
      {"original's count past the block", false, kMay3, nullptr, nullptr, std::nullopt, Damage::CountPast},
      {"original not ASCII: DateTime", true, kMay3, nullptr, kFeb3, feb3, Damage::NotAscii},
      {"Exif IFD past the block: DateTime", false, kMay3, kEve, kFeb3, feb3, Damage::ExifIfdPast},
      {"Exif IFD is IFD0: DateTime", true, kMay3, nullptr, kFeb3, feb3, Damage::ExifIfdLoops},
      {"block ends before the texts", false, kMay3, kEve, kFeb3, std::nullopt, Damage::CutBeforeText},
  };
  MemoryImage24 image(16, 8);
  image.Fill(0x3366CC);
  const std::vector<std::uint8_t> jpeg = EncodeJpeg(image, 80);
  for (const DateCase& c : cases) {
    SCOPED_TRACE(c.name);
    TiffBytes tiff(c.le);
    tiff.bytes = DateTiff(c);
    const ExifInfo info = ReadExif(WithApp1(jpeg, ExifPayload(tiff)));
    EXPECT_EQ(info.dateTaken, c.expected);
    EXPECT_EQ(info.orientation, kOrientationNormal);
  }
}

TEST(ExifDate, ParsesTheExifAndXmpFormsAndRefusesDaysThatDoNotExist) {
  const std::pair<const char*, std::optional<ExifDate>> cases[] = {
      {"2024:05:03 10:11:12", ExifDate{2024, 5, 3, 10, 11, 12}},
      {"2024:05:03 10:11:12   ", ExifDate{2024, 5, 3, 10, 11, 12}},
      {"2024-05-03T10:11:12", ExifDate{2024, 5, 3, 10, 11, 12}},
      {"2024-05-03T10:11:12+08:00", ExifDate{2024, 5, 3, 10, 11, 12}},  // wall-clock time, not shifted
      {"2024-05-03T23:30:00.25Z", ExifDate{2024, 5, 3, 23, 30, 0}},
      {"2024:05:03", ExifDate{2024, 5, 3}},
      {"2000:02:29 00:00:00", ExifDate{2000, 2, 29}},
      {"2016:12:31 23:59:60", ExifDate{2016, 12, 31, 23, 59, 60}},
      {"1900:02:29 00:00:00", std::nullopt},
      {"2024:13:01 00:00:00", std::nullopt},
      {"2024:04:31 00:00:00", std::nullopt},
      {"2024:05:00 00:00:00", std::nullopt},
      {"0000:01:01 00:00:00", std::nullopt},
      {"2024:05:03 24:00:00", std::nullopt},
      {"2024:05:03 10:60:00", std::nullopt},
      {"2024:05:03 10:11", std::nullopt},
      {"2024-05:03 10:11:12", std::nullopt},
      {"2024:05:03+10:11:12", std::nullopt},
      {"2024:05:03 10:11:12+08:00", std::nullopt},
      {"2024:5:3 10:11:12", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(ParseExifDate(text), expected) << '"' << text << '"';
}

}  // namespace
}  // namespace velmora
