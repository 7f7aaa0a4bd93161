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
    std::int32_t length;
    std::int64_t first;  // order position of its first unit
  };
  struct Unit {
    std::int32_t row, col;  // first pixel
    std::int32_t width, height;
  };

  std::uint32_t UnshuffledAt(std::int64_t k);
  void BuildSpiral();
  void Shuffle(TDirection direction, int generalRate);
  static std::int32_t Interlaced(std::int64_t j, std::int32_t n, std::int32_t step);

  Unit UnitAt(std::int64_t k) {
    const std::uint32_t index = shuffled_ ? order_[std::size_t(k)] : UnshuffledAt(k);
    const std::int32_t p = std::int32_t(index / std::uint32_t(nc_));
    const std::int32_t q = std::int32_t(index % std::uint32_t(nc_));
    Unit u;
    u.row = p * unitH_;
    u.col = q * unitW_;
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
