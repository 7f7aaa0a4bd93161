// What a HEIF file's boxes say, read without decoding anything: the
// properties and the canvases libheif would act on, and where the coded
// picture of a simple primary image lies. Every read is bounded by its box;
// damaged boxes end a search.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace velmora {

// True when the ISO base media file data holds an image rotation ("irot")
// or mirror ("imir") property in its meta box. Damaged boxes end the search.
bool HasHeifTransformProperty(const std::uint8_t* data, std::size_t size);

// The largest canvas, in pixels, that any grid or overlay item of the HEIF
// data declares for the tiles or images it puts together (0 without any);
// nullopt when the boxes that locate such an item's data cannot be read.
std::optional<std::uint64_t> LargestHeifCanvas(const std::uint8_t* data, std::size_t size);

// A primary image that is one HEVC-coded picture ("hvc1") with no property
// beyond its decoder set-up, size, colour, depth, rotation and mirror.
struct HeifCodedPrimary {
  int width = 0;   // as stored, before its rotation
  int height = 0;
  // The stored picture turned upright by its rotation and mirror, in the
  // numbering of the Exif orientation (1 when it has neither).
  int orientation = 1;
  bool transformed = false;  // it has a rotation or mirror property
  int nalLengthSize = 4;     // bytes before each NAL unit of the data
  // The decoder set-up's NAL units (parameter sets), then the coded data's
  // extents: offsets into the file's bytes and lengths.
  std::vector<std::pair<std::size_t, std::size_t>> setupNals;
  std::vector<std::pair<std::size_t, std::size_t>> extents;
};

// The primary image as such a picture; nullopt for any other (a grid, an
// overlay, one with a crop or an unknown property, data stored elsewhere)
// and for damaged boxes.
std::optional<HeifCodedPrimary> FindHeifCodedPrimary(const std::uint8_t* data, std::size_t size);

}  // namespace velmora
