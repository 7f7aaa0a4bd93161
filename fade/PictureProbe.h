// What can be said about a picture kind the system's imaging component
// decodes (PNG, GIF, TIFF, WebP and others) without decoding it: the size
// its header claims, so that an oversized picture is refused before a
// decoder allocates anything; and how transparency is shown (over black).
// Turning a picture upright is fade/Exif.h's OrientImage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fade/Graphics.h"

namespace velmora {

// The largest picture, in pixels, decoded through the system's imaging
// component: it decodes whole frames to 32 bits a pixel, so this is lower
// than kMaxPicturePixels.
constexpr std::uint64_t kMaxSystemDecodedPixels = 64'000'000;

// The extensions (lower case, with the dot) of the kinds the system's imaging
// component decodes on Windows.
inline constexpr std::string_view kSystemDecodedExtensions[] = {
    ".png", ".gif", ".tif", ".tiff", ".heic", ".heif", ".webp", ".jxr",
};

// True when extension (as PictureExtension gives it) is one of those kinds.
bool IsSystemDecodedExtension(std::string_view extension);

// A picture dialog's filter ("description|patterns|description|patterns...")
// offering the kinds above as well: every pair stays as it is, "PNG (*.png)",
// "GIF (*.gif)", "TIFF (*.tif;*.tiff)" and "HEIC (*.heic;*.heif)" pairs
// follow (HEIC is offered whether or not the imaging component reads it:
// the program decodes it itself), and their patterns are added to the first pair when it is the
// "All (...)" one (to its description and to its patterns).
std::string WithSystemDecodedKinds(std::string_view filter);

// The size a picture's header claims.
struct PeekedSize {
  std::uint32_t width = 0;   // of the picture (a GIF's logical screen)
  std::uint32_t height = 0;
  // The largest area, in pixels, any part of the file asks a decoder to
  // hold: the picture, or a GIF frame larger than its logical screen.
  std::uint64_t largestPixels = 0;
  // A TIFF's orientation tag (1..8) on its first page; 0 when there is none
  // or it is damaged, and for the other kinds.
  int orientation = 0;
};

// Reads the size from the header of PNG, GIF (every frame's descriptor is
// looked at), TIFF (the first page, with its orientation) and WebP data. nullopt for another kind,
// or when the header is cut short or damaged before the size.
std::optional<PeekedSize> PeekPictureSize(const std::uint8_t* data, std::size_t size);

// The name of the kind of picture data ("PNG", "GIF", "TIFF", "WebP",
// "HEIF", "JPEG XR") as its first bytes say; "" for anything else.
std::string_view PictureKindName(const std::uint8_t* data, std::size_t size);

// One row of width pixels of straight (not premultiplied) blue, green, red,
// alpha, composited over black into blue, green, red.
void ComposeRowOverBlack(const std::uint8_t* bgra, int width, std::uint8_t* bgr);

}  // namespace velmora
