#include "fade/Exif.h"

#include <cstring>

namespace velmora {

namespace {

constexpr std::uint8_t kMarker = 0xFF;
constexpr std::uint8_t kSoi = 0xD8;
constexpr std::uint8_t kEoi = 0xD9;
constexpr std::uint8_t kSos = 0xDA;
constexpr std::uint8_t kApp1 = 0xE1;

constexpr std::uint16_t kTagOrientation = 0x0112;
constexpr std::uint16_t kTagDateTime = 0x0132;
constexpr std::uint16_t kTagExifIfd = 0x8769;
constexpr std::uint16_t kTagDateTimeOriginal = 0x9003;
constexpr std::uint16_t kTagDateTimeDigitized = 0x9004;
constexpr std::uint16_t kTypeAscii = 2;
constexpr std::uint16_t kTagThumbnailOffset = 0x0201;
constexpr std::uint16_t kTagThumbnailLength = 0x0202;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeLong = 4;

// A marker segment: its marker code and its payload (after the two length bytes).
struct Segment {
  std::uint8_t marker = 0;
  std::size_t payload = 0;
  std::size_t length = 0;
};

// Walks the marker segments of a JPEG from its SOI up to the start of the
// image data. Stops (Next gives false) at SOS, EOI, or anything damaged.
class MarkerWalker {
 public:
  MarkerWalker(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {
    ok_ = size >= 2 && data[0] == kMarker && data[1] == kSoi;
    pos_ = 2;
  }

  bool Next(Segment& segment) {
    if (!ok_) return false;
    // Any number of 0xFF fill bytes may stand before a marker code.
    if (pos_ >= size_ || data_[pos_] != kMarker) return Stop();
    while (pos_ < size_ && data_[pos_] == kMarker) ++pos_;
    if (pos_ >= size_) return Stop();
    const std::uint8_t code = data_[pos_++];
    if (code == kSos || code == kEoi || code == kSoi || code == 0) return Stop();
    // Markers without a length: TEM and the restart markers.
    if (code == 0x01 || (code >= 0xD0 && code <= 0xD7)) {
      segment = Segment{code, pos_, 0};
      return true;
    }
    if (size_ - pos_ < 2) return Stop();
    const std::size_t length = std::size_t(data_[pos_]) << 8 | data_[pos_ + 1];
    if (length < 2 || length > size_ - pos_) return Stop();
    segment = Segment{code, pos_ + 2, length - 2};
    pos_ += length;
    return true;
  }

 private:
  bool Stop() {
    ok_ = false;
    return false;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  bool ok_ = false;
};

// The TIFF structure inside the Exif segment: every offset is from its first
// byte and is checked against its length.
class Tiff {
 public:
  Tiff(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool ReadHeader(std::uint32_t& firstIfd) {
    if (size_ < 8) return false;
    if (data_[0] == 'I' && data_[1] == 'I')
      littleEndian_ = true;
    else if (data_[0] == 'M' && data_[1] == 'M')
      littleEndian_ = false;
    else
      return false;
    if (U16(2) != 42) return false;
    firstIfd = U32(4);
    return true;
  }

  // Whether an IFD of its entry count and next-IFD link lies wholly inside.
  bool IfdFits(std::uint32_t offset) const {
    if (offset < 8 || std::size_t(offset) > size_ - 2) return false;
    const std::size_t bytes = 2 + std::size_t(U16(offset)) * 12 + 4;
    return bytes <= size_ - offset;
  }
  int EntryCount(std::uint32_t ifd) const { return U16(ifd); }
  std::size_t Entry(std::uint32_t ifd, int index) const { return std::size_t(ifd) + 2 + std::size_t(index) * 12; }
  std::uint32_t NextIfd(std::uint32_t ifd) const { return U32(Entry(ifd, EntryCount(ifd))); }

  std::uint16_t Tag(std::size_t entry) const { return U16(entry); }
  // The single SHORT or LONG value held in an entry, or nullopt for any other
  // type or count.
  std::optional<std::uint32_t> SingleValue(std::size_t entry) const {
    const std::uint16_t type = U16(entry + 2);
    if (U32(entry + 4) != 1) return std::nullopt;
    if (type == kTypeShort) return U16(entry + 8);
    if (type == kTypeLong) return U32(entry + 8);
    return std::nullopt;
  }
  // The text of an ASCII entry, up to its first NUL; nullopt for another
  // type, or a value that does not lie wholly inside the TIFF structure.
  std::optional<std::string_view> AsciiValue(std::size_t entry) const {
    if (U16(entry + 2) != kTypeAscii) return std::nullopt;
    const std::uint32_t count = U32(entry + 4);
    if (count == 0) return std::nullopt;
    std::size_t at = entry + 8;  // up to four bytes are held in the entry
    if (count > 4) {
      const std::uint32_t offset = U32(entry + 8);
      if (offset >= size_ || count > size_ - offset) return std::nullopt;
      at = offset;
    }
    const char* text = reinterpret_cast<const char*>(data_ + at);
    const void* nul = std::memchr(text, 0, count);
    return std::string_view(text, nul ? std::size_t(static_cast<const char*>(nul) - text) : count);
  }
  // The entry of tag in an IFD that fits, or nullopt.
  std::optional<std::size_t> Find(std::uint32_t ifd, std::uint16_t tag) const {
    for (int i = 0; i < EntryCount(ifd); ++i)
      if (Tag(Entry(ifd, i)) == tag) return Entry(ifd, i);
    return std::nullopt;
  }
  // The valid date an ASCII entry of tag holds, or nullopt.
  std::optional<ExifDate> Date(std::uint32_t ifd, std::uint16_t tag) const {
    const std::optional<std::size_t> entry = Find(ifd, tag);
    if (!entry) return std::nullopt;
    const std::optional<std::string_view> text = AsciiValue(*entry);
    return text ? ParseExifDate(*text) : std::nullopt;
  }

 private:
  std::uint16_t U16(std::size_t at) const {
    const std::uint8_t* p = data_ + at;
    return littleEndian_ ? std::uint16_t(p[0] | p[1] << 8) : std::uint16_t(p[0] << 8 | p[1]);
  }
  std::uint32_t U32(std::size_t at) const {
    const std::uint8_t* p = data_ + at;
    return littleEndian_ ? std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                               std::uint32_t(p[3]) << 24
                         : std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 |
                               std::uint32_t(p[3]);
  }

  const std::uint8_t* data_;
  std::size_t size_;
  bool littleEndian_ = true;
};

void ReadTiff(const Tiff& tiff, std::uint32_t ifd0, std::size_t tiffStart, std::size_t tiffSize, ExifInfo& info) {
  if (!tiff.IfdFits(ifd0)) return;
  for (int i = 0; i < tiff.EntryCount(ifd0); ++i) {
    const std::size_t entry = tiff.Entry(ifd0, i);
    if (tiff.Tag(entry) != kTagOrientation) continue;
    const std::optional<std::uint32_t> value = tiff.SingleValue(entry);
    if (value && *value >= 1 && *value <= 8) info.orientation = int(*value);
    break;
  }
  // The dates: the Exif IFD's two, then IFD0's own.
  if (const std::optional<std::size_t> link = tiff.Find(ifd0, kTagExifIfd)) {
    const std::optional<std::uint32_t> exifIfd = tiff.SingleValue(*link);
    if (exifIfd && *exifIfd != ifd0 && tiff.IfdFits(*exifIfd)) {
      info.dateTaken = tiff.Date(*exifIfd, kTagDateTimeOriginal);
      if (!info.dateTaken) info.dateTaken = tiff.Date(*exifIfd, kTagDateTimeDigitized);
    }
  }
  if (!info.dateTaken) info.dateTaken = tiff.Date(ifd0, kTagDateTime);
  // IFD1, the thumbnail's, is the one IFD0 links to. Only that one link is
  // followed, and never back to IFD0 itself.
  const std::uint32_t ifd1 = tiff.NextIfd(ifd0);
  if (ifd1 == 0 || ifd1 == ifd0 || !tiff.IfdFits(ifd1)) return;
  std::optional<std::uint32_t> offset;
  std::optional<std::uint32_t> length;
  for (int i = 0; i < tiff.EntryCount(ifd1); ++i) {
    const std::size_t entry = tiff.Entry(ifd1, i);
    if (tiff.Tag(entry) == kTagThumbnailOffset) offset = tiff.SingleValue(entry);
    if (tiff.Tag(entry) == kTagThumbnailLength) length = tiff.SingleValue(entry);
  }
  if (!offset || !length || *length < 4 || *offset >= tiffSize || *length > tiffSize - *offset) return;
  info.thumbnailOffset = tiffStart + *offset;
  info.thumbnailLength = *length;
}

bool IsDigits(std::string_view text, std::size_t at, std::size_t count, int& value) {
  value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<ExifDate> ParseExifDate(std::string_view text) {
  // Cameras pad with spaces, and some end with a NUL inside the count.
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
  // XMP's form may go on with fractions of a second or a zone: the wall-clock
  // time is what is shown, so they are left out.
  if (text.size() > 19 && text[4] == '-' && text[10] == 'T' &&
      (text[19] == '.' || text[19] == '+' || text[19] == '-' || text[19] == 'Z'))
    text = text.substr(0, 19);
  if (text.size() != 10 && text.size() != 19) return std::nullopt;
  const char dateSeparator = text[4];
  if ((dateSeparator != ':' && dateSeparator != '-') || text[7] != dateSeparator) return std::nullopt;
  ExifDate date;
  if (!IsDigits(text, 0, 4, date.year) || !IsDigits(text, 5, 2, date.month) || !IsDigits(text, 8, 2, date.day))
    return std::nullopt;
  if (date.year < 1 || date.month < 1 || date.month > 12 || date.day < 1 ||
      date.day > DaysInMonth(date.year, date.month))
    return std::nullopt;
  if (text.size() == 19) {
    if ((text[10] != ' ' && text[10] != 'T') || text[13] != ':' || text[16] != ':') return std::nullopt;
    if (!IsDigits(text, 11, 2, date.hour) || !IsDigits(text, 14, 2, date.minute) ||
        !IsDigits(text, 17, 2, date.second))
      return std::nullopt;
    if (date.hour > 23 || date.minute > 59 || date.second > 60) return std::nullopt;
  }
  return date;
}

ExifInfo ReadExif(const std::uint8_t* data, std::size_t size) {
  ExifInfo info;
  if (data == nullptr) return info;
  static constexpr std::uint8_t kExifName[6] = {'E', 'x', 'i', 'f', 0, 0};
  MarkerWalker walker(data, size);
  Segment segment;
  while (walker.Next(segment)) {
    if (segment.marker != kApp1 || segment.length < sizeof kExifName ||
        std::memcmp(data + segment.payload, kExifName, sizeof kExifName) != 0)
      continue;
    const std::size_t tiffStart = segment.payload + sizeof kExifName;
    const std::size_t tiffSize = segment.length - sizeof kExifName;
    Tiff tiff(data + tiffStart, tiffSize);
    std::uint32_t ifd0 = 0;
    if (tiff.ReadHeader(ifd0)) ReadTiff(tiff, ifd0, tiffStart, tiffSize, info);
    break;
  }
  // A thumbnail that does not start as a JPEG is no thumbnail.
  if (info.HasThumbnail() && !(data[info.thumbnailOffset] == kMarker && data[info.thumbnailOffset + 1] == kSoi)) {
    info.thumbnailOffset = 0;
    info.thumbnailLength = 0;
  }
  return info;
}

std::optional<PictureSize> ReadJpegFrameSize(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr) return std::nullopt;
  MarkerWalker walker(data, size);
  Segment segment;
  while (walker.Next(segment)) {
    // SOF0..SOF15, leaving out DHT (C4), JPG (C8) and DAC (CC).
    const std::uint8_t m = segment.marker;
    if (m < 0xC0 || m > 0xCF || m == 0xC4 || m == 0xC8 || m == 0xCC) continue;
    if (segment.length < 5) return std::nullopt;
    const std::uint8_t* p = data + segment.payload;
    const int height = p[1] << 8 | p[2];
    const int width = p[3] << 8 | p[4];
    if (width == 0 || height == 0) return std::nullopt;
    return PictureSize{width, height};
  }
  return std::nullopt;
}

void OrientImage(const Image24& stored, int orientation, Image24& upright) {
  if (orientation < 1 || orientation > 8) orientation = kOrientationNormal;
  const int sw = stored.Width();
  const int sh = stored.Height();
  const PictureSize size = OrientedSize(orientation, sw, sh);
  upright.SetSize(size.width, size.height);
  if (orientation == kOrientationNormal) {
    upright.Draw(stored, 0, 0);
    return;
  }
  // For each upright pixel (x, y) the stored one it shows is
  // (x0 + x * dxX + y * dxY, y0 + x * dyX + y * dyY).
  int x0 = 0, y0 = 0, dxX = 0, dxY = 0, dyX = 0, dyY = 0;
  switch (orientation) {
    case 2: x0 = sw - 1; dxX = -1; dyY = 1; break;
    case 3: x0 = sw - 1; y0 = sh - 1; dxX = -1; dyY = -1; break;
    case 4: y0 = sh - 1; dxX = 1; dyY = -1; break;
    case 5: dxY = 1; dyX = 1; break;
    case 6: y0 = sh - 1; dxY = 1; dyX = -1; break;
    case 7: x0 = sw - 1; y0 = sh - 1; dxY = -1; dyX = -1; break;
    case 8: x0 = sw - 1; dxY = -1; dyX = 1; break;
    default: break;
  }
  const std::ptrdiff_t stride = stored.Stride();
  const std::uint8_t* base = stored.Bits();
  // A step of one upright pixel along a row moves this far in the stored bytes.
  const std::ptrdiff_t stepX = std::ptrdiff_t(dxX) * 3 + std::ptrdiff_t(dyX) * stride;
  for (int y = 0; y < size.height; ++y) {
    std::ptrdiff_t at = std::ptrdiff_t(x0 + y * dxY) * 3 + std::ptrdiff_t(y0 + y * dyY) * stride;
    std::uint8_t* dst = upright.Row(y);
    for (int x = 0; x < size.width; ++x, at += stepX, dst += 3) {
      dst[0] = base[at];
      dst[1] = base[at + 1];
      dst[2] = base[at + 2];
    }
  }
}

void MakeUpright(MemoryImage24& image, int orientation) {
  if (orientation <= kOrientationNormal || orientation > 8) return;
  MemoryImage24 upright;
  OrientImage(image, orientation, upright);
  image = std::move(upright);
}

}  // namespace velmora
