// JPEG files with an Exif segment, for the tests of orientation.
#pragma once

#include <cstdint>
#include <vector>

namespace velmora::testing {

// jpeg with an APP1 "Exif" segment right after its SOI whose IFD0 holds the
// orientation tag (a SHORT) with the given value, in either byte order.
std::vector<std::uint8_t> WithOrientation(const std::vector<std::uint8_t>& jpeg, int orientation,
                                          bool littleEndian = true);

// jpeg with an APP1 segment of the given payload right after its SOI.
std::vector<std::uint8_t> WithApp1(const std::vector<std::uint8_t>& jpeg, const std::vector<std::uint8_t>& payload);

}  // namespace velmora::testing
