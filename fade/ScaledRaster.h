// A raster picture drawn through the kept results of its last drawn sizes.
//
// Every raster kind (JPEG, bitmaps, the pictures decoded through the Windows
// imaging component) makes its pixels at a given size in a way of its own:
// Render. This base keeps the results of the last kKeptSizes sizes drawn or
// prepared, the oldest going first, so that drawing one of those sizes again
// costs a copy: one size per monitor the show plays on, and the thumbnail and
// edit-window sizes beside them.
//
// The prefetch worker prepares the sizes the show will draw on a thread of
// its own while the user interface thread draws. Pictures are shared between
// holders, so the kept results are guarded, and a render runs with the guard
// held: a draw of a size that is being prepared waits for that render rather
// than repeating it.
//
// Sizes larger than kMaxKeptPixels are never kept: they are drawn straight
// into the target (RenderInto). Each kind says how its natural size is drawn
// (NaturalSize). A render that fails draws black and keeps nothing.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "fade/Graphics.h"

namespace velmora {

class ScaledRaster : public Graphic {
 public:
  GraphicKind Kind() const final { return GraphicKind::Raster; }
  // The size shown (upright).
  int Width() const final { return width_; }
  int Height() const final { return height_; }
  void Draw(Image24& target, int x, int y) const final;
  void StretchDraw(Image24& target, const Rect& rect) const final;

  // Renders the picture at width x height (upright) into a kept result that
  // the next draw of that size copies, without drawing. May run on another
  // thread than the draws. Gives up once *cancel is set and returns false,
  // keeping nothing; false too, keeping nothing, when the render fails. A
  // size that is never kept (too large, or the natural size of a kind that
  // draws it directly) needs nothing: true.
  bool Prepare(int width, int height, const std::atomic<bool>* cancel = nullptr) const;
  // Whether a kept result is the picture drawn at width x height.
  bool Keeps(int width, int height) const;
  // Frees the kept results.
  void DropCache() const;
  // Renders begun so far (kept, drawn straight or cancelled); for tests.
  int Renders() const;

  // How many drawn sizes are kept at most; the oldest goes first.
  static constexpr std::size_t kKeptSizes = 4;
  // Drawings up to this many pixels are kept.
  static constexpr long long kMaxKeptPixels = 36'000'000;

 protected:
  // How a draw at the natural size is made.
  enum class NaturalSize {
    Keep,          // like any other size
    KeepPrepared,  // straight into the target, unless prepared (and then kept)
    DrawDirect,    // always straight into the target: the kind holds those pixels
  };

  explicit ScaledRaster(NaturalSize natural, int width = 0, int height = 0)
      : natural_(natural), width_(width), height_(height) {}
  // For kinds that learn their size in their constructor.
  void SetSize(int width, int height) {
    width_ = width;
    height_ = height;
  }

  // The picture at width x height, upright, as a picture of its own; nullptr
  // once *cancel is set (cancel may be nullptr). Throws when the picture
  // cannot be drawn. Called with Guard() held.
  virtual std::shared_ptr<MemoryImage24> Render(int width, int height, const std::atomic<bool>* cancel) const = 0;
  // Draws the picture at rect's size into rect of target (clipped), keeping
  // nothing. The default renders and copies. Throws when the picture cannot
  // be drawn. Called with Guard() held.
  virtual void RenderInto(Image24& target, const Rect& rect) const;

  // Guards the kept results, and whatever a kind's renders change.
  std::mutex& Guard() const { return mutex_; }

 private:
  const MemoryImage24* FindLocked(int width, int height) const;
  void KeepLocked(std::shared_ptr<const MemoryImage24> image) const;
  // Draws a size that is not kept into rect: rendered and kept when keep
  // allows and the size is small enough, else straight into the target.
  void DrawLocked(Image24& target, const Rect& rect, bool keep) const;

  NaturalSize natural_;
  int width_ = 0;
  int height_ = 0;

  mutable std::mutex mutex_;
  // The kept results, newest first.
  mutable std::vector<std::shared_ptr<const MemoryImage24>> kept_;
  mutable int renders_ = 0;
};

}  // namespace velmora
