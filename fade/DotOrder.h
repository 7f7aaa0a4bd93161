// The order in which a dissolve reveals the pixels of a picture.
//
// The picture is cut into units (square DotSize blocks for most directions)
// and the units are put in an order by the direction; an xDissolve shuffles
// that order locally. The pixels of one unit arrive one after the other, row
// by row within the unit. The order is held per unit only (a 32-bit unit
// index each, and only when shuffled): the pixels are produced on the fly
// by a cursor, so a run never holds a per-pixel list and the steps allocate
// nothing.
//
// Orders by direction (Nr x Nc units):
//   FromLeft, FromRight        units column by column, each column top down
//   FromTop, FromBottom, None  units row by row, each row left to right
//   XcenterOut, XcenterIn      whole unit columns from the centre outwards:
//                              m, m+1, m-1, m+2, m-2 ... (m = Nc div 2)
//   YcenterOut, YcenterIn      whole unit rows in the same way (m = Nr div 2)
//   ZoomIn, ZoomOut            a square spiral from the centre unit
//                              (Nr div 2, Nc div 2): up 1, right 1, down 2,
//                              left 2, up 3, right 3 ..., units outside the
//                              grid skipped
//   Vertical                   units are one pixel row high and DotSize wide;
//                              pixel rows taken GeneralRate apart (rows 0, G,
//                              2G ..., then 1, 1+G ...), each row's units
//                              left to right. A GeneralRate below 1 counts as 1.
//   Horizontal                 units are one pixel column wide and DotSize
//                              high; pixel columns GeneralRate apart in the
//                              same way, each column's units top down.
//   corner directions          the row order; FromBottomRight and
//                              FromBottomLeft read it from the end.
// Reading from the end (the reverse-order flag) belongs to FromRight,
// FromBottom, XcenterIn, YcenterIn, ZoomIn and the two bottom corners.
//
// The xDissolve shuffle: the generator is reseeded from the clock; the
// window w is Nr*G for the column orders, Nc*G for the row orders,
// ((Nr+Nc) div 4)*G for the spiral, the whole count for None, and one unit
// row (Nc) for Vertical or one unit column (Nr) for Horizontal. For every
// position i: j = Random(count) for None, else i + Random(w); when j lies in
// the order, units i and j change places.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "fade/FadeTypes.h"

namespace velmora {

class DotOrder {
 public:
  // Builds the order for a width x height picture. A dotSize below 1 counts
  // as 1. Shuffles only for Action xDissolve (drawing from the process
  // generator, which it reseeds from the clock first).
  void Build(int width, int height, int dotSize, TDirection direction, TAction action,
             int generalRate);
  // Frees the unit order (the count and the reverse flag stay).
  void Release();

  // The picture size the order was built for.
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Number of pixels: width * height.
  std::int64_t Count() const { return count_; }
  // Number of units.
  std::int64_t UnitCount() const { return units_; }
  // The reverse-order flag: a forward dissolve reads the order from its end.
  bool Reversed() const { return reversed_; }
  bool Shuffled() const { return shuffled_; }
  // Bytes held for the unit order (for tests of the memory bound).
  std::size_t HeldBytes() const {
    return order_.capacity() * sizeof(std::uint32_t) + legs_.capacity() * sizeof(Leg);
  }

  // Puts the cursor at the first pixel of the order, or at its last pixel
  // when fromEnd is true (the order is then read backwards).
  void Rewind(bool fromEnd);

  // Takes the next `pixels` pixels from the cursor (fewer when the order
  // runs out) and calls segment(row, column, length) for each run of pixels
  // that are neighbours in one picture row: pixels (row, column) ..
  // (row, column + length - 1). Forward, the runs come in order and their
  // pixels arrive left to right; backwards, the runs come in reverse order
  // and their pixels arrive right to left.
  template <class Segment>
  void Take(std::int64_t pixels, Segment&& segment);

 private:
  enum class Kind : std::uint8_t { Rows, Columns, XCenter, YCenter, Spiral, RowLines, ColumnLines };
  struct Leg {  // a straight piece of the spiral, already clipped to the grid
    std::int32_t row, col;
    std::int8_t dRow, dCol;
    std::uint32_t length;
    std::uint32_t first;  // order position of its first unit
  };
  struct Unit {
    std::int32_t row, col;  // first pixel
    std::int32_t width, height;
  };

  void BuildSpiral();
  void Shuffle(TDirection direction, int generalRate);

  // Position j of the centre-out sequence m, m+1, m-1, m+2, m-2 ... over
  // 0 .. n-1 (m = n div 2), values outside skipped. The right side has
  // n - m - 1 places, the left side m, never fewer than the right.
  static std::uint32_t CentreOut(std::uint32_t j, std::uint32_t n) {
    const std::uint32_t m = n / 2;
    const std::uint32_t right = n - m - 1;
    if (j == 0) return m;
    if (j <= 2 * right) {
      const std::uint32_t k = (j + 1) / 2;
      return (j & 1) ? m + k : m - k;
    }
    return m - (j - right);
  }
  // Lines phase, phase + step, phase + 2*step ... for phase 0 .. step-1;
  // the first n mod step phases have one line more than the others.
  static std::uint32_t Interlaced(std::uint32_t j, std::uint32_t n, std::uint32_t step) {
    const std::uint32_t q = n / step;
    const std::uint32_t rem = n % step;
    if (j < rem * (q + 1)) return j / (q + 1) + (j % (q + 1)) * step;
    const std::uint32_t rest = j - rem * (q + 1);
    return rem + rest / q + (rest % q) * step;
  }

  // Unit (p, q) of the grid at position k of the order.
  void BlockAt(std::uint32_t k, std::uint32_t& p, std::uint32_t& q) {
    const std::uint32_t nr = std::uint32_t(nr_), nc = std::uint32_t(nc_);
    if (shuffled_) {
      const std::uint32_t index = order_[k];
      p = index / nc;
      q = index % nc;
      return;
    }
    switch (kind_) {
      case Kind::Rows:
        p = k / nc;
        q = k % nc;
        return;
      case Kind::Columns:
        q = k / nr;
        p = k % nr;
        return;
      case Kind::XCenter:
        q = CentreOut(k / nr, nc);
        p = k % nr;
        return;
      case Kind::YCenter:
        p = CentreOut(k / nc, nr);
        q = k % nc;
        return;
      case Kind::RowLines:
        p = Interlaced(k / nc, nr, std::uint32_t(interlace_));
        q = k % nc;
        return;
      case Kind::ColumnLines:
        q = Interlaced(k / nr, nc, std::uint32_t(interlace_));
        p = k % nr;
        return;
      case Kind::Spiral: {
        while (legCursor_ > 0 && k < legs_[legCursor_].first) --legCursor_;
        while (legCursor_ + 1 < legs_.size() && k >= legs_[legCursor_].first + legs_[legCursor_].length)
          ++legCursor_;
        const Leg& leg = legs_[legCursor_];
        const std::int32_t o = std::int32_t(k - leg.first);
        p = std::uint32_t(leg.row + leg.dRow * o);
        q = std::uint32_t(leg.col + leg.dCol * o);
        return;
      }
    }
    p = q = 0;
  }

  Unit UnitAt(std::int64_t k) {
    std::uint32_t p, q;
    BlockAt(std::uint32_t(k), p, q);
    Unit u;
    u.row = std::int32_t(p) * unitH_;
    u.col = std::int32_t(q) * unitW_;
    u.width = std::min(unitW_, width_ - u.col);
    u.height = std::min(unitH_, height_ - u.row);
    return u;
  }

  int width_ = 0;
  int height_ = 0;
  std::int32_t unitW_ = 1;
  std::int32_t unitH_ = 1;
  std::int32_t nr_ = 0;
  std::int32_t nc_ = 0;
  std::int32_t interlace_ = 1;
  Kind kind_ = Kind::Rows;
  std::int64_t count_ = 0;
  std::int64_t units_ = 0;
  bool reversed_ = false;
  bool shuffled_ = false;
  std::vector<std::uint32_t> order_;
  std::vector<Leg> legs_;
  std::size_t legCursor_ = 0;

  // Cursor: unit position and pixels already taken from that unit.
  bool fromEnd_ = false;
  std::int64_t pos_ = 0;
  std::int64_t taken_ = 0;
};

template <class Segment>
void DotOrder::Take(std::int64_t pixels, Segment&& segment) {
  if (unitW_ == 1 && unitH_ == 1) {
    // Every unit is one pixel.
    const std::int64_t step = fromEnd_ ? -1 : 1;
    for (; pixels > 0 && pos_ >= 0 && pos_ < units_; --pixels, pos_ += step) {
      std::uint32_t p, q;
      BlockAt(std::uint32_t(pos_), p, q);
      segment(std::int32_t(p), std::int32_t(q), 1);
    }
    return;
  }
  while (pixels > 0 && pos_ >= 0 && pos_ < units_) {
    const Unit u = UnitAt(pos_);
    const std::int64_t total = std::int64_t(u.width) * u.height;
    const std::int64_t n = std::min(pixels, total - taken_);
    if (!fromEnd_) {
      // Pixels taken_ .. taken_ + n - 1 of the unit, row by row.
      std::int64_t first = taken_;
      std::int64_t left = n;
      while (left > 0) {
        const std::int32_t r = std::int32_t(first / u.width);
        const std::int32_t c = std::int32_t(first % u.width);
        const std::int32_t len = std::int32_t(std::min<std::int64_t>(u.width - c, left));
        segment(u.row + r, u.col + c, len);
        first += len;
        left -= len;
      }
    } else {
      // Pixels total-1-taken_ down to total-taken_-n, backwards.
      std::int64_t last = total - 1 - taken_;
      std::int64_t left = n;
      while (left > 0) {
        const std::int32_t r = std::int32_t(last / u.width);
        const std::int32_t c = std::int32_t(last % u.width);
        const std::int32_t len = std::int32_t(std::min<std::int64_t>(c + 1, left));
        segment(u.row + r, u.col + c - len + 1, len);
        last -= len;
        left -= len;
      }
    }
    pixels -= n;
    taken_ += n;
    if (taken_ == total) {
      taken_ = 0;
      pos_ += fromEnd_ ? -1 : 1;
    }
  }
}

}  // namespace velmora
