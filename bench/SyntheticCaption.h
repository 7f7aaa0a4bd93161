// A stand-in for the platform's text shaping in the native benchmarks: a
// coverage mask of the size and density a line of Chinese text has (glyph
// cells as wide as they are high, strokes with soft edges).
#pragma once

#include <string>

#include "saver/Caption.h"

namespace velmora::bench {

inline CaptionMask SyntheticCaption(const std::wstring& text, int pixelHeight) {
  CaptionMask mask;
  mask.width = int(text.size()) * pixelHeight + 4;
  mask.height = pixelHeight + 4;
  mask.coverage.assign(std::size_t(mask.width) * std::size_t(mask.height), 0);
  const int stroke = pixelHeight / 10 + 1;
  for (int y = 2; y < mask.height - 2; ++y)
    for (int x = 2; x < mask.width - 2; ++x) {
      const int cx = (x - 2) % pixelHeight, cy = y - 2;
      const bool bar = (cx % (pixelHeight / 3 + 1)) < stroke || (cy % (pixelHeight / 4 + 1)) < stroke;
      const bool edge = (cx % (pixelHeight / 3 + 1)) == stroke || (cy % (pixelHeight / 4 + 1)) == stroke;
      mask.coverage[std::size_t(y) * std::size_t(mask.width) + std::size_t(x)] = bar ? 255 : edge ? 96 : 0;
    }
  return mask;
}

}  // namespace velmora::bench
