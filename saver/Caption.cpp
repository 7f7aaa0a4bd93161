#include "saver/Caption.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "fade/MorfFade.h"
#include "fade/ScaledRaster.h"

namespace velmora {

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::size_t LastSeparator(std::wstring_view path) {
  for (std::size_t i = path.size(); i > 0; --i)
    if (IsSeparator(path[i - 1])) return i - 1;
  return std::wstring_view::npos;
}

// A well-mixed number from the sequence, for the drift.
std::uint32_t Mix(std::uint32_t v) {
  v ^= v >> 16;
  v *= 0x7FEB352Du;
  v ^= v >> 15;
  v *= 0x846CA68Bu;
  v ^= v >> 16;
  return v;
}

// Coverage widened by radius on both axes (a square's maximum), on an image
// larger than mask by radius on every side.
std::vector<std::uint8_t> Widen(const CaptionMask& mask, int radius, int& width, int& height) {
  width = mask.width + 2 * radius;
  height = mask.height + 2 * radius;
  std::vector<std::uint8_t> across(std::size_t(width) * std::size_t(mask.height), 0);
  for (int y = 0; y < mask.height; ++y) {
    const std::uint8_t* src = mask.coverage.data() + std::size_t(y) * std::size_t(mask.width);
    std::uint8_t* dst = across.data() + std::size_t(y) * std::size_t(width);
    for (int x = 0; x < mask.width; ++x) {
      if (src[x] == 0) continue;
      for (int k = x; k <= x + 2 * radius; ++k) dst[k] = std::max(dst[k], src[x]);
    }
  }
  std::vector<std::uint8_t> halo(std::size_t(width) * std::size_t(height), 0);
  for (int y = 0; y < mask.height; ++y) {
    const std::uint8_t* src = across.data() + std::size_t(y) * std::size_t(width);
    for (int k = y; k <= y + 2 * radius; ++k) {
      std::uint8_t* dst = halo.data() + std::size_t(k) * std::size_t(width);
      for (int x = 0; x < width; ++x) dst[x] = std::max(dst[x], src[x]);
    }
  }
  return halo;
}

// Blends every pixel of image under a coverage map placed at (x, y) toward
// colour (0 or 255) by coverage * strength / 256.
void Blend(Image24& image, const std::uint8_t* coverage, int width, int height, int x, int y, int colour,
           int strength) {
  const int x0 = std::max(0, x), x1 = std::min(image.Width(), x + width);
  const int y0 = std::max(0, y), y1 = std::min(image.Height(), y + height);
  for (int py = y0; py < y1; ++py) {
    std::uint8_t* row = image.Row(py);
    const std::uint8_t* cov = coverage + std::size_t(py - y) * std::size_t(width);
    for (int px = x0; px < x1; ++px) {
      const int a = cov[px - x] * strength / 256;
      if (a == 0) continue;
      std::uint8_t* p = row + px * 3;
      for (int c = 0; c < 3; ++c) p[c] = std::uint8_t(p[c] + ((colour - p[c]) * a + 127) / 255);
    }
  }
}

}  // namespace

std::wstring CaptionFileName(std::wstring_view path) {
  const std::size_t slash = LastSeparator(path);
  std::wstring_view name = slash == std::wstring_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind(L'.');
  if (dot != std::wstring_view::npos && dot > 0) name = name.substr(0, dot);
  return std::wstring(name);
}

std::wstring CaptionFolderName(std::wstring_view path) {
  std::size_t slash = LastSeparator(path);
  if (slash == std::wstring_view::npos) return {};
  std::wstring_view folder = path.substr(0, slash);
  while (!folder.empty() && IsSeparator(folder.back())) folder.remove_suffix(1);
  slash = LastSeparator(folder);
  const std::wstring_view name = slash == std::wstring_view::npos ? folder : folder.substr(slash + 1);
  if (name.empty() || name.back() == L':') return {};  // a drive's root
  return std::wstring(name);
}

std::wstring CaptionText(CaptionMode mode, std::wstring_view path, std::wstring_view dateText) {
  switch (mode) {
    case CaptionMode::DateTaken: return std::wstring(dateText);
    case CaptionMode::FileName: return CaptionFileName(path);
    case CaptionMode::FolderName: return CaptionFolderName(path);
    case CaptionMode::DateAndFolder: {
      const std::wstring folder = CaptionFolderName(path);
      if (folder.empty()) return std::wstring(dateText);
      if (dateText.empty()) return folder;
      return std::wstring(dateText) + L" \u00B7 " + folder;
    }
    case CaptionMode::None: break;
  }
  return {};
}

int CaptionTextHeight(int monitorHeight) { return std::max(12, int(std::lround(monitorHeight * 0.03))); }
int CaptionMargin(int monitorHeight) { return std::max(4, int(std::lround(monitorHeight * 0.02))); }
int CaptionDrift(int monitorHeight) { return std::max(2, monitorHeight / 200); }

CaptionCorner CaptionCornerFor(int sequence) {
  const unsigned turn = unsigned(sequence) % 4u;
  return CaptionCorner(turn);
}

CaptionPlace PlaceCaption(int sequence, int pictureWidth, int pictureHeight, int textWidth, int textHeight,
                          int monitorHeight) {
  const int margin = CaptionMargin(monitorHeight);
  const unsigned span = unsigned(CaptionDrift(monitorHeight)) + 1u;
  const std::uint32_t mixed = Mix(std::uint32_t(sequence));
  const int dx = int(mixed % span), dy = int((mixed / span) % span);
  CaptionPlace place;
  place.corner = CaptionCornerFor(sequence);
  const bool left = place.corner == CaptionCorner::TopLeft || place.corner == CaptionCorner::BottomLeft;
  const bool top = place.corner == CaptionCorner::TopLeft || place.corner == CaptionCorner::TopRight;
  place.x = left ? margin + dx : pictureWidth - textWidth - margin - dx;
  place.y = top ? margin + dy : pictureHeight - textHeight - margin - dy;
  place.x = std::max(0, std::min(place.x, pictureWidth - textWidth));
  place.y = std::max(0, std::min(place.y, pictureHeight - textHeight));
  return place;
}

int CaptionHaloRadius(int textHeight) { return std::max(2, textHeight / 10); }

void StampCaption(Image24& image, const CaptionMask& mask, int x, int y, int radius) {
  if (mask.width <= 0 || mask.height <= 0 ||
      mask.coverage.size() < std::size_t(mask.width) * std::size_t(mask.height))
    return;
  radius = std::max(0, radius);
  int haloWidth = 0, haloHeight = 0;
  const std::vector<std::uint8_t> halo = Widen(mask, radius, haloWidth, haloHeight);
  Blend(image, halo.data(), haloWidth, haloHeight, x - radius, y - radius, 0, 192);
  Blend(image, mask.coverage.data(), mask.width, mask.height, x, y, 255, 256);
}

CaptionedGraphic::CaptionedGraphic(std::shared_ptr<const Graphic> picture,
                                   std::vector<std::shared_ptr<const MemoryImage24>> drawings)
    : picture_(std::move(picture)), drawings_(std::move(drawings)) {}

void CaptionedGraphic::StretchDraw(Image24& target, const Rect& rect) const {
  for (const std::shared_ptr<const MemoryImage24>& drawing : drawings_)
    if (drawing->Width() == rect.Width() && drawing->Height() == rect.Height()) {
      target.Draw(*drawing, rect.left, rect.top);
      return;
    }
  picture_->StretchDraw(target, rect);
}

std::shared_ptr<const Graphic> CaptionPicture(const std::shared_ptr<const Graphic>& picture, const std::wstring& text,
                                              int sequence, const std::vector<PictureWorker::DrawnSize>& sizes,
                                              const CaptionRasterizer& rasterize, const std::atomic<bool>* cancel) {
  if (!picture || text.empty() || !rasterize || picture->Kind() == GraphicKind::Icon || picture->Width() <= 0 ||
      picture->Height() <= 0)
    return picture;
  auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
  std::vector<std::shared_ptr<const MemoryImage24>> drawings;
  std::map<int, CaptionMask> masks;  // by text height: monitors of one height share one
  for (const PictureWorker::DrawnSize& size : sizes) {
    if (cancelled()) return picture;
    if (size.width <= 0 || size.height <= 0) continue;
    const Rect fit = FitRect(picture->Width(), picture->Height(), size.width, size.height);
    if (fit.Width() <= 0 || fit.Height() <= 0) continue;
    const bool known = std::any_of(drawings.begin(), drawings.end(), [&fit](const auto& drawing) {
      return drawing->Width() == fit.Width() && drawing->Height() == fit.Height();
    });
    if (known) continue;
    const int textHeight = CaptionTextHeight(size.height);
    auto found = masks.find(textHeight);
    if (found == masks.end()) found = masks.emplace(textHeight, rasterize(text, textHeight)).first;
    const CaptionMask& mask = found->second;
    // What the component would draw: the fitted picture over black.
    auto drawing = std::make_shared<MemoryImage24>(fit.Width(), fit.Height());
    if (picture->Kind() != GraphicKind::Raster) drawing->Fill(kBlack);  // a raster covers it all
    picture->StretchDraw(*drawing, Rect{0, 0, fit.Width(), fit.Height()});
    const CaptionPlace place = PlaceCaption(sequence, fit.Width(), fit.Height(), mask.width, mask.height, size.height);
    StampCaption(*drawing, mask, place.x, place.y, CaptionHaloRadius(textHeight));
    drawings.push_back(std::move(drawing));
  }
  if (drawings.empty() || cancelled()) return picture;
  // The captioned drawings replace the picture's own at those sizes.
  if (const auto* raster = dynamic_cast<const ScaledRaster*>(picture.get())) raster->DropCache();
  return std::make_shared<CaptionedGraphic>(picture, std::move(drawings));
}

}  // namespace velmora
