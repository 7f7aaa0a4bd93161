// HEIC files made in the tests with libheif's own encoder (natively, where
// Debian's libheif has its HEVC encoder; the Windows build has none).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "fade/Graphics.h"

namespace velmora::testing {

struct HeifPicture {
  const Image24* image = nullptr;
  // How the stored pixels are shown, 1..8 as in Exif: written as the image's
  // rotation and mirror properties.
  int transform = 1;
  // An Exif block holding this orientation tag; none when 0 (and no date).
  int exifOrientation = 0;
  // With an Exif block: its IFD0 DateTime ("YYYY:MM:DD HH:MM:SS"), or none.
  const char* exifDateTime = nullptr;
};

// The pictures as one HEIC file, the one at index `primary` its primary
// image; nullopt when there is no HEVC encoder here. fast: the encoder's
// quickest settings (for large benchmark pictures).
std::optional<std::vector<std::uint8_t>> EncodeHeif(const std::vector<HeifPicture>& pictures, std::size_t primary = 0,
                                                    int quality = 95, bool fast = false);

// The picture cut into tiles of tileSize x tileSize (the last row and column
// filled out with their edge pixels), each coded on its own, put together by
// a grid item as a phone writes its photos; nullopt without an encoder.
std::optional<std::vector<std::uint8_t>> EncodeHeifGrid(const Image24& image, int tileSize, int quality = 90,
                                                        bool fast = false);

}  // namespace velmora::testing
