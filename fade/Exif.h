// What a JPEG file's APP1 "Exif" segment says about the picture: the way the
// stored pixels must be turned to stand upright, where the small embedded
// thumbnail JPEG is, and when the photo was taken.
//
// The bytes come from files the user picked, so every offset, count and
// length is checked against the segment before it is used; anything damaged
// reads as "nothing said" (orientation 1, no thumbnail). Nothing here
// allocates or includes a decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "fade/Graphics.h"

namespace velmora {

// The EXIF orientation values: how the stored pixels are shown.
//   1 as stored             5 transposed (stored column x is shown row x)
//   2 mirrored left-right   6 turned a quarter clockwise
//   3 turned half a turn    7 transversed (turned a quarter clockwise, mirrored)
//   4 mirrored top-bottom   8 turned a quarter anticlockwise
constexpr int kOrientationNormal = 1;

// A date and time as EXIF writes them: the camera's local wall-clock time,
// no time zone.
struct ExifDate {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  friend bool operator==(const ExifDate&, const ExifDate&) = default;
};

// Reads "YYYY:MM:DD HH:MM:SS" (EXIF's form; also "YYYY-MM-DDTHH:MM:SS", the
// form metadata in XMP uses, and a date alone). nullopt for anything else, and
// for a date that is no day of the calendar (0000:00:00, the 31st of April)
// or a time past 23:59:59 (a leap second's :60 is taken).
std::optional<ExifDate> ParseExifDate(std::string_view text);

struct ExifInfo {
  // 1..8; 1 when the tag is missing or holds anything else.
  int orientation = kOrientationNormal;
  // The embedded thumbnail JPEG (IFD1's JPEGInterchangeFormat and
  // JPEGInterchangeFormatLength) as a part of the buffer given to ReadExif:
  // offset from its first byte and length. Length 0 when there is none or it
  // does not lie wholly inside the Exif segment.
  std::size_t thumbnailOffset = 0;
  std::size_t thumbnailLength = 0;

  // When the photo was taken: DateTimeOriginal, else DateTimeDigitized, else
  // DateTime (IFD0's, when the file was last changed by the camera or a
  // program); each one only if it is a whole, valid date. nullopt without one.
  std::optional<ExifDate> dateTaken;

  bool HasThumbnail() const { return thumbnailLength > 0; }
};

// Reads the first APP1 "Exif" segment among a JPEG's markers before its image
// data. A buffer that is not a JPEG, or has no such segment, gives the defaults.
ExifInfo ReadExif(const std::uint8_t* data, std::size_t size);
inline ExifInfo ReadExif(const std::vector<std::uint8_t>& bytes) { return ReadExif(bytes.data(), bytes.size()); }

// Width and height from a JPEG's frame header (SOFn), as stored; nullopt when
// the markers before it are damaged or it gives no pixels. Used for the
// embedded thumbnail, whose header is all that must be read to place it.
struct PictureSize {
  int width = 0;
  int height = 0;
  friend bool operator==(const PictureSize&, const PictureSize&) = default;
};
std::optional<PictureSize> ReadJpegFrameSize(const std::uint8_t* data, std::size_t size);

// True for the orientations that swap width and height (5..8).
inline bool OrientationSwapsAxes(int orientation) { return orientation >= 5 && orientation <= 8; }

// The upright size of a picture stored as width x height.
inline PictureSize OrientedSize(int orientation, int width, int height) {
  return OrientationSwapsAxes(orientation) ? PictureSize{height, width} : PictureSize{width, height};
}

// Makes upright the picture as shown: stored turned by orientation (a value
// outside 1..8 counts as 1). upright gets the upright size. stored and
// upright must be different images.
void OrientImage(const Image24& stored, int orientation, Image24& upright);

// Turns image upright in place (through a copy when the orientation is not 1).
void MakeUpright(MemoryImage24& image, int orientation);

}  // namespace velmora
