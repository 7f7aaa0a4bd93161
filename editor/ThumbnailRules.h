// The rules behind the thumbnail engine, apart so they can be checked one by
// one: which decoder scale a JPEG thumbnail uses, where a JPEG's own frame
// size is, and when a photo's embedded small picture can stand for it.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "editor/Thumbnails.h"
#include "fade/Graphics.h"

namespace velmora {

// The N of the N/8 decoder scale for the thumbnail of a width x height JPEG:
// the largest reduction whose output still covers the thumbnail size (so the
// long side keeps at least 111 pixels); 8 when none does.
int ThumbnailDecodeScale(int width, int height);

// The width and height in a JPEG's frame header (the first SOFn marker);
// nullopt when the data is not a JPEG or ends before one.
std::optional<ThumbnailSize> JpegFrameSize(const std::vector<std::uint8_t>& bytes);

// The small JPEG picture a camera embeds in the photo's EXIF data, if any.
std::optional<std::vector<std::uint8_t>> EmbeddedJpegPicture(const std::vector<std::uint8_t>& bytes);

// The part of embedded (the decoded small picture of a pictureWidth x
// pictureHeight photo) that shows the photo, when it can stand for it: the
// proportions match, or differ only by near-black bars on two opposite
// sides (a camera letterboxes a 3:2 photo into a 4:3 small picture), and the
// part is at least the thumbnail size. nullopt otherwise: too small, or the
// proportions of another picture.
std::optional<Rect> EmbeddedPictureArea(const Image24& embedded, int pictureWidth, int pictureHeight);

}  // namespace velmora
