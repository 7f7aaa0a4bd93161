#include "fade/DotOrder.h"

#include <limits>
#include <stdexcept>
#include <utility>

#include "app/Random.h"

namespace velmora {
namespace {

bool ReadsFromEnd(TDirection direction) {
  switch (direction) {
    case TDirection::FromRight:
    case TDirection::FromBottom:
    case TDirection::XcenterIn:
    case TDirection::YcenterIn:
    case TDirection::ZoomIn:
    case TDirection::FromBottomRight:
    case TDirection::FromBottomLeft:
      return true;
    default:
      return false;
  }
}

std::int32_t CeilDiv(std::int32_t n, std::int32_t d) { return n <= 0 ? 0 : (n + d - 1) / d; }

// The generator's step applied n times at once (for shuffles that exchange
// nothing but must still draw their numbers): seed := a*seed + c, composed.
void AdvanceGenerator(std::uint64_t n) {
  std::uint32_t resultA = 1, resultC = 0;
  std::uint32_t baseA = 134775813u, baseC = 1u;
  while (n != 0) {
    if (n & 1) {
      resultC = baseA * resultC + baseC;
      resultA = baseA * resultA;
    }
    baseC = baseA * baseC + baseC;
    baseA = baseA * baseA;
    n >>= 1;
  }
  SetRandSeed(resultA * RandSeed() + resultC);
}

std::int32_t ClampToInt32(std::int64_t value) {
  if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return std::int32_t(value);
}

}  // namespace

void DotOrder::Build(int width, int height, int dotSize, TDirection direction, TAction action,
                     int generalRate) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  const std::int32_t d = std::max(dotSize, 1);
  count_ = std::int64_t(width_) * height_;
  reversed_ = ReadsFromEnd(direction);
  interlace_ = std::max(generalRate, 1);
  unitW_ = d;
  unitH_ = d;
  switch (direction) {
    case TDirection::FromLeft:
    case TDirection::FromRight:
      kind_ = Kind::Columns;
      break;
    case TDirection::XcenterOut:
    case TDirection::XcenterIn:
      kind_ = Kind::XCenter;
      break;
    case TDirection::YcenterOut:
    case TDirection::YcenterIn:
      kind_ = Kind::YCenter;
      break;
    case TDirection::ZoomIn:
    case TDirection::ZoomOut:
      kind_ = Kind::Spiral;
      break;
    case TDirection::Vertical:
      kind_ = Kind::RowLines;
      unitH_ = 1;
      break;
    case TDirection::Horizontal:
      kind_ = Kind::ColumnLines;
      unitW_ = 1;
      break;
    default:  // FromTop, FromBottom, None and the corners
      kind_ = Kind::Rows;
      break;
  }
  nr_ = CeilDiv(height_, unitH_);
  nc_ = CeilDiv(width_, unitW_);
  units_ = std::int64_t(nr_) * nc_;
  if (units_ > std::int64_t(std::numeric_limits<std::int32_t>::max()))
    throw std::length_error("Picture too large for a dissolve");

  order_ = std::vector<std::uint32_t>();
  legs_ = std::vector<Leg>();
  legCursor_ = 0;
  shuffled_ = false;
  if (kind_ == Kind::Spiral) BuildSpiral();
  if (action == TAction::xDissolve) Shuffle(direction, generalRate);
  Rewind(false);
}

void DotOrder::BuildSpiral() {
  if (units_ == 0) return;
  std::int64_t placed = 0;
  auto addLeg = [&](std::int32_t row, std::int32_t col, int dRow, int dCol, std::int32_t moves) {
    // Moves i = 1 .. moves from (row, col); keep those inside the grid.
    std::int64_t lo = 1, hi = moves;
    auto clip = [&](std::int64_t x, int dir, std::int32_t n) {
      if (dir == 0) {
        if (x < 0 || x >= n) hi = lo - 1;
      } else if (dir > 0) {
        lo = std::max<std::int64_t>(lo, -x);
        hi = std::min<std::int64_t>(hi, n - 1 - x);
      } else {
        lo = std::max<std::int64_t>(lo, x - n + 1);
        hi = std::min<std::int64_t>(hi, x);
      }
    };
    clip(row, dRow, nr_);
    clip(col, dCol, nc_);
    if (lo > hi) return;
    legs_.push_back(Leg{std::int32_t(row + dRow * lo), std::int32_t(col + dCol * lo), std::int8_t(dRow),
                        std::int8_t(dCol), std::uint32_t(hi - lo + 1), std::uint32_t(placed)});
    placed += hi - lo + 1;
  };
  std::int32_t row = nr_ / 2, col = nc_ / 2;
  legs_.push_back(Leg{row, col, 0, 0, 1, 0});
  placed = 1;
  std::int32_t k = 1;
  bool up = true;
  while (placed < units_) {
    const int dRow = up ? -1 : 1;
    addLeg(row, col, dRow, 0, k);
    row += dRow * k;
    const int dCol = up ? 1 : -1;
    addLeg(row, col, 0, dCol, k);
    col += dCol * k;
    ++k;
    up = !up;
  }
}

void DotOrder::Shuffle(TDirection direction, int generalRate) {
  Randomize();
  const std::int64_t g = generalRate;
  std::int64_t window = 0;
  switch (direction) {
    case TDirection::FromLeft:
    case TDirection::FromRight:
    case TDirection::XcenterOut:
    case TDirection::XcenterIn:
      window = std::int64_t(nr_) * g;
      break;
    case TDirection::ZoomIn:
    case TDirection::ZoomOut:
      window = std::int64_t((nr_ + nc_) / 4) * g;
      break;
    case TDirection::None:
      window = units_;
      break;
    case TDirection::Vertical:
      window = nc_;
      break;
    case TDirection::Horizontal:
      window = nr_;
      break;
    default:  // the row orders: FromTop, FromBottom, YcenterOut, YcenterIn, corners
      window = std::int64_t(nc_) * g;
      break;
  }
  const std::int32_t w = ClampToInt32(window);
  if (direction != TDirection::None && w <= 1) {
    // Random(w) is 0 for every position: each unit changes places with
    // itself. The order stays as built; the generator still advances once
    // per unit.
    AdvanceGenerator(std::uint64_t(units_));
    return;
  }
  order_.resize(std::size_t(units_));
  for (std::int64_t k = 0; k < units_; ++k) {
    std::uint32_t p, q;
    BlockAt(std::uint32_t(k), p, q);
    order_[std::size_t(k)] = p * std::uint32_t(nc_) + q;
  }
  const std::int32_t n = std::int32_t(units_);
  if (direction == TDirection::None) {
    for (std::int32_t i = 0; i < n; ++i) {
      const std::int32_t j = Random(n);
      std::swap(order_[std::size_t(i)], order_[std::size_t(j)]);
    }
  } else {
    for (std::int32_t i = 0; i < n; ++i) {
      const std::int64_t j = std::int64_t(i) + Random(w);
      if (j < n) std::swap(order_[std::size_t(i)], order_[std::size_t(j)]);
    }
  }
  shuffled_ = true;
}

void DotOrder::Rewind(bool fromEnd) {
  fromEnd_ = fromEnd;
  pos_ = fromEnd ? units_ - 1 : 0;
  taken_ = 0;
  legCursor_ = (fromEnd && !legs_.empty()) ? legs_.size() - 1 : 0;
}

void DotOrder::Release() {
  order_ = std::vector<std::uint32_t>();
  legs_ = std::vector<Leg>();
  legCursor_ = 0;
  shuffled_ = false;
  units_ = 0;
  pos_ = 0;
  taken_ = 0;
}

}  // namespace velmora
