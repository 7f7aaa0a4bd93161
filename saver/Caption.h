// Captions: a line of text (the date a photo was taken, its file or folder
// name) drawn onto each fitted picture of the show, so that it comes and goes
// with the picture.
//
// The text is white over a soft dark halo, so that it reads on a white sky
// and on a black night, about 3 % of the monitor's height. It sits in a corner
// of the picture that changes from picture to picture, a few pixels off the
// margins by an amount that changes too, so that no pixel of the screen shows
// the same text for long.
//
// What is portable lives here: the text from the path and the date, the
// corner and drift rule, the halo and text over the picture, and the picture
// that carries its captioned drawings. Shaping the text into a coverage mask
// (fonts) and the date's wording are the platform's, given as functions.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fade/Graphics.h"
#include "frames/ShowOptions.h"
#include "saver/PictureWorker.h"

namespace velmora {

// ---- the text ----

// The file's name without its folder and extension ("C:\Trips\Kyoto 01.jpg"
// gives "Kyoto 01"). Either slash separates.
std::wstring CaptionFileName(std::wstring_view path);
// The name of the folder that holds the file ("Trips"); empty when the file
// lies at the root of a drive, or the path has no folder.
std::wstring CaptionFolderName(std::wstring_view path);
// The caption the mode asks for: the date text, the file name, the folder
// name, or the date and the folder (" · " between; the date alone when there
// is no folder name). Empty for None.
std::wstring CaptionText(CaptionMode mode, std::wstring_view path, std::wstring_view dateText);
// Whether the mode's text needs the date.
inline bool CaptionNeedsDate(CaptionMode mode) {
  return mode == CaptionMode::DateTaken || mode == CaptionMode::DateAndFolder;
}

// ---- where it goes ----

enum class CaptionCorner : std::uint8_t { BottomRight, TopLeft, BottomLeft, TopRight };

struct CaptionPlace {
  CaptionCorner corner = CaptionCorner::BottomRight;
  int x = 0;  // the text box's top-left corner in the picture
  int y = 0;
  friend bool operator==(const CaptionPlace&, const CaptionPlace&) = default;
};

// The text height for a monitor of that height: 3 %, at least 12 pixels.
int CaptionTextHeight(int monitorHeight);
// The gap between the text box and the picture's edges, before the drift.
int CaptionMargin(int monitorHeight);
// The most the text drifts from its margin, on each axis: a few pixels.
int CaptionDrift(int monitorHeight);
// The corner of the sequence-th picture shown (0, 1, ...): each picture's
// corner differs from the one before it, and the four take turns.
CaptionCorner CaptionCornerFor(int sequence);
// Where a textWidth x textHeight box goes on the sequence-th picture, drawn
// pictureWidth x pictureHeight on a monitor monitorHeight high: in its corner,
// the margin plus a drift of 0..CaptionDrift on each axis (changing with the
// sequence) in from the two edges. A box wider or higher than the picture
// starts at its left or top edge.
CaptionPlace PlaceCaption(int sequence, int pictureWidth, int pictureHeight, int textWidth, int textHeight,
                          int monitorHeight);

// ---- drawing it ----

// The text as coverage: 0 (none) to 255 (wholly text), one byte a pixel,
// width x height, row by row.
struct CaptionMask {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> coverage;
};
// The halo's reach around the glyphs for a text height.
int CaptionHaloRadius(int textHeight);
// Draws mask onto image with its top-left corner at (x, y), clipped: a dark
// halo (the glyphs widened by radius, three quarters opaque) and the white
// text over it.
void StampCaption(Image24& image, const CaptionMask& mask, int x, int y, int radius);

// Shapes text at a character height of pixelHeight (the platform's fonts).
using CaptionRasterizer = std::function<CaptionMask(const std::wstring& text, int pixelHeight)>;

// A picture with its captioned drawings: drawn into a rectangle of the size
// of one of them, it gives that drawing; drawn any other way, the plain
// picture. Immutable once made, as every Graphic.
class CaptionedGraphic final : public Graphic {
 public:
  CaptionedGraphic(std::shared_ptr<const Graphic> picture,
                   std::vector<std::shared_ptr<const MemoryImage24>> drawings);
  GraphicKind Kind() const override { return picture_->Kind(); }
  int Width() const override { return picture_->Width(); }
  int Height() const override { return picture_->Height(); }
  void Draw(Image24& target, int x, int y) const override { picture_->Draw(target, x, y); }
  void StretchDraw(Image24& target, const Rect& rect) const override;

  const std::shared_ptr<const Graphic>& Picture() const { return picture_; }

 private:
  std::shared_ptr<const Graphic> picture_;
  std::vector<std::shared_ptr<const MemoryImage24>> drawings_;
};

// The picture as the show's components of the given sizes draw it fitted,
// with text on it at the sequence-th picture's place: a CaptionedGraphic.
// The picture itself when there is nothing to draw (empty text, an icon, no
// component that fits it) or once *cancel is set.
std::shared_ptr<const Graphic> CaptionPicture(const std::shared_ptr<const Graphic>& picture, const std::wstring& text,
                                              int sequence, const std::vector<PictureWorker::DrawnSize>& sizes,
                                              const CaptionRasterizer& rasterize,
                                              const std::atomic<bool>* cancel = nullptr);

// What the player asks for each picture it brings on screen: the picture
// with its caption for the mode (the text made from path, the picture's own
// file), prepared for every component size. Runs on the prefetch worker.
using PictureCaptioner = std::function<std::shared_ptr<const Graphic>(
    const std::shared_ptr<const Graphic>& picture, const std::string& path, CaptionMode mode, int sequence,
    const std::vector<PictureWorker::DrawnSize>& sizes, const std::atomic<bool>& cancel)>;

}  // namespace velmora
