// The rules behind the thumbnail engine, apart so they can be checked one by
// one: which decoder scale a JPEG thumbnail uses, and when a photo's
// embedded small picture can stand for it.
#pragma once

#include <cstdint>
#include <optional>

#include "fade/Graphics.h"

namespace velmora {

// The side of a strip picture control (Image1 and the other slots' pictures)
// at 100 % display scale.
inline constexpr int kThumbnailSide = 111;

// The N of the N/8 decoder scale for the thumbnail of a width x height JPEG:
// the largest reduction whose output still covers the thumbnail size (so the
// long side keeps at least `side` pixels); 8 when none does.
int ThumbnailDecodeScale(int width, int height, int side = kThumbnailSide);

// The part of embedded (the decoded small picture of a pictureWidth x
// pictureHeight photo) that shows the photo, when it can stand for it: the
// proportions match, or differ only by near-black bars on two opposite
// sides (a camera letterboxes a 3:2 photo into a 4:3 small picture), and the
// part is at least the thumbnail size. nullopt otherwise: too small, or the
// proportions of another picture.
std::optional<Rect> EmbeddedPictureArea(const Image24& embedded, int pictureWidth, int pictureHeight,
                                        int side = kThumbnailSide);

}  // namespace velmora
