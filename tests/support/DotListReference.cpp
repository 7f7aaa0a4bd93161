#include "support/DotListReference.h"

#include <gtest/gtest.h>

#include "app/Random.h"

namespace velmora::testing {

// A straightforward reading of the dissolve's dot list: the block order,
// the shuffle and the expansion into a per-pixel list.
std::vector<Pixel> ReferenceDotList(int w, int h, int d, TDirection dir, TAction action, int g) {
  using D = TDirection;
  const int nr = (h + d - 1) / d, nc = (w + d - 1) / d;
  const int total = nr * nc;
  std::vector<Pixel> blocks;
  switch (dir) {
    case D::FromLeft:
    case D::FromRight:
      for (int q = 0; q < nc; ++q)
        for (int p = 0; p < nr; ++p) blocks.emplace_back(p, q);
      break;
    case D::FromTop:
    case D::FromBottom:
    case D::None:
      for (int p = 0; p < nr; ++p)
        for (int q = 0; q < nc; ++q) blocks.emplace_back(p, q);
      break;
    case D::XcenterOut:
    case D::XcenterIn:
    case D::YcenterOut:
    case D::YcenterIn: {
      const bool cols = dir == D::XcenterOut || dir == D::XcenterIn;
      const int n = cols ? nc : nr;
      int m = n / 2, k = 0, side = 0;
      do {
        int line;
        if (side == 0) {
          line = m - k;
          ++k;
        } else {
          line = m + k;
        }
        if (line >= 0 && line < n) {
          if (cols)
            for (int p = 0; p < nr; ++p) blocks.emplace_back(p, line);
          else
            for (int q = 0; q < nc; ++q) blocks.emplace_back(line, q);
        }
        side ^= 1;
      } while (int(blocks.size()) < total);
      break;
    }
    case D::ZoomIn:
    case D::ZoomOut: {
      int row = nr / 2, col = nc / 2;
      blocks.emplace_back(row, col);
      int k = 1, side = 0;
      auto put = [&] {
        if (row >= 0 && row < nr && col >= 0 && col < nc) blocks.emplace_back(row, col);
      };
      while (int(blocks.size()) < total) {
        for (int i = 0; i < k; ++i) {
          row += side == 0 ? -1 : 1;
          put();
        }
        for (int i = 0; i < k; ++i) {
          col += side == 0 ? 1 : -1;
          put();
        }
        ++k;
        side ^= 1;
      }
      break;
    }
    default:
      ADD_FAILURE() << "no reference order for this direction";
  }
  if (action == TAction::xDissolve) {
    Randomize();
    int window = 0;
    switch (dir) {
      case D::FromLeft:
      case D::FromRight:
      case D::XcenterOut:
      case D::XcenterIn:
        window = nr * g;
        break;
      case D::FromTop:
      case D::FromBottom:
      case D::YcenterOut:
      case D::YcenterIn:
        window = nc * g;
        break;
      case D::ZoomIn:
      case D::ZoomOut:
        window = ((nr + nc) / 4) * g;
        break;
      default:
        window = total;
        break;
    }
    for (int i = 0; i < total; ++i) {
      const int j = dir == D::None ? Random(total) : i + Random(window);
      if (j < total) std::swap(blocks[i], blocks[j]);
    }
  }
  std::vector<Pixel> list;
  for (const Pixel& b : blocks)
    for (int dy = 0; dy < d; ++dy)
      for (int dx = 0; dx < d; ++dx) {
        const int row = b.first * d + dy, col = b.second * d + dx;
        if (row < h && col < w) list.emplace_back(row, col);
      }
  return list;
}

}  // namespace velmora::testing
