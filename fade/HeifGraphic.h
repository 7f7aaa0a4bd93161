// A HEIC/HEIF still picture (HEVC-coded, the photos phones take), decoded
// on demand with libde265, and libheif where it is put together.
//
// Loading parses the file's boxes, finds the primary image (a file with
// several images shows that one) and checks its size; the file's bytes are
// kept, nothing is decoded. Every draw decodes the primary image (on the
// prefetch worker for the show: see ScaledRaster) into its own planes, then
// turns them into BGR a row at a time straight into the resampler, so a
// scaled draw holds only the decoded planes and the scaled result. A
// cancelled prepare gives up before decoding or between rows; the decode
// itself cannot be interrupted.
//
// Decoding: a primary image that is one HEVC-coded 8-bit picture (a photo
// as most encoders write it) is decoded here with HevcDecoder straight from
// the file's data, and its planes never copied; grids (a phone's photos),
// overlays, transparency and deeper pictures are put together by libheif,
// which decodes with the same HevcDecoder.
//
// Orientation: the image's transform properties (rotation, mirror, crop)
// are what the file says the picture shows, applied as libheif applies
// them. The Exif
// orientation tag usually says the same turn again (phones write both), so
// it is honoured only for a file that has no rotation or mirror property.
//
// Damaged data: a file whose boxes cannot be parsed, without a primary
// image, or larger than the pixel limit (its own size, or any canvas a grid
// or overlay in it declares) is refused when loaded; an image
// that then fails to decode is drawn black.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fade/Exif.h"
#include "fade/HeifBoxes.h"
#include "fade/Graphics.h"
#include "fade/PictureLoader.h"
#include "fade/ScaledRaster.h"

namespace velmora {

// When the photo was taken, as the primary image's Exif block says (see
// ExifInfo::dateTaken); nullopt without one, or for data that is no HEIF.
std::optional<ExifDate> HeifDateTaken(const std::vector<std::uint8_t>& bytes);

class HeifGraphic final : public ScaledRaster {
 public:
  // Parses the HEIF data; throws EPictureError naming `name` when it is not
  // a readable HEIF file, has no primary image, or that image (after its
  // transforms) is larger than maxPixels.
  static std::shared_ptr<const HeifGraphic> FromBytes(std::vector<std::uint8_t> bytes,
                                                      const std::string& name = "HEIF data",
                                                      std::uint64_t maxPixels = kMaxPicturePixels);
  static std::shared_ptr<const HeifGraphic> FromFile(const std::string& path);

  HeifGraphic(std::vector<std::uint8_t> bytes, const std::string& name, std::uint64_t maxPixels);

  // The Exif orientation (1..8) turned by on top of the decoded image; 1
  // without a tag and whenever the file has transform properties.
  int ExifOrientation() const { return exifOrientation_; }

 private:
  std::shared_ptr<MemoryImage24> Render(int width, int height, const std::atomic<bool>* cancel) const override;
  void RenderInto(Image24& target, const Rect& rect) const override;

  // Decodes the primary image (after its transforms) and scales it into rect
  // of target; false when cancelled. Throws EPictureError when it cannot be
  // decoded.
  bool DecodeInto(Image24& target, const Rect& rect, const std::atomic<bool>* cancel) const;
  // The same for a primary image that is one coded picture, decoded here.
  bool DecodeCodedInto(Image24& target, const Rect& rect, const std::atomic<bool>* cancel) const;
  // The picture at width x height, upright; nullptr when cancelled.
  std::shared_ptr<MemoryImage24> RenderUpright(int width, int height, const std::atomic<bool>* cancel) const;

  std::vector<std::uint8_t> bytes_;
  std::string name_;
  std::uint64_t maxPixels_ = kMaxPicturePixels;
  int decodedWidth_ = 0;   // the primary image after its transforms
  int decodedHeight_ = 0;
  int exifOrientation_ = 1;
  // The turn put on the decoded picture: the Exif one, or for a coded
  // picture decoded here, its own rotation and mirror when it has them.
  int drawOrientation_ = 1;
  std::optional<HeifCodedPrimary> coded_;
  int colourMatrix_ = -1;  // the file's colour description of it, if any
  bool colourFullRange_ = true;
};

}  // namespace velmora
