#include "editor/Thumbnails.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <thread>

#include "editor/ThumbnailRules.h"
#include "fade/BmpGraphic.h"
#include "fade/Exif.h"
#include "fade/JpegGraphic.h"
#include "fade/PictureLoader.h"
#include "fade/Resample.h"

namespace velmora {

std::optional<ThumbnailSize> FitThumbnail(int width, int height, int side) {
  if (width <= 0 || height <= 0) return std::nullopt;
  // The product first, then the quotient in floating point, rounded to the
  // nearest integer with halves to the even neighbour (nearbyint in the
  // default rounding mode).
  const auto scaled = [side](int shorter, int longer) {
    const double q = double(std::int64_t(side) * shorter) / double(longer);
    return std::max(1, int(std::nearbyint(q)));
  };
  if (width > height) return ThumbnailSize{side, scaled(height, width)};
  return ThumbnailSize{scaled(width, height), side};
}

int ThumbnailDecodeScale(int width, int height, int side) {
  const auto fit = FitThumbnail(width, height, side);
  if (!fit) return 8;
  return ChooseJpegScale(width, height, fit->width, fit->height);
}

std::optional<Rect> EmbeddedPictureArea(const Image24& embedded, int pictureWidth, int pictureHeight, int side) {
  const int w = embedded.Width();
  const int h = embedded.Height();
  const auto fit = FitThumbnail(pictureWidth, pictureHeight, side);
  if (w <= 0 || h <= 0 || !fit) return std::nullopt;
  // The photo's proportions inside the embedded picture: it fills the whole
  // width or the whole height; the rest, if any, must be dark bars.
  // Compression smears the edge between a bar and the picture over a pixel
  // or two: the bars are checked, and the picture taken, a pixel away from it.
  Rect area{0, 0, w, h};
  Rect checked = area;  // outside it: the bars
  const std::int64_t across = std::int64_t(w) * pictureHeight;  // compare w/h with pw/ph
  const std::int64_t down = std::int64_t(h) * pictureWidth;
  if (across > down) {
    // Wider than the photo: the photo spans the height, bars left and right.
    const double contentWidth = double(h) * pictureWidth / pictureHeight;
    const double bar = (w - contentWidth) / 2;
    if (bar >= 1) {
      checked = Rect{int(std::floor(bar)) - 1, 0, w - int(std::floor(bar)) + 1, h};
      area = Rect{int(std::ceil(bar)) + 1, 0, w - int(std::ceil(bar)) - 1, h};
    }
  } else if (down > across) {
    const double contentHeight = double(w) * pictureHeight / pictureWidth;
    const double bar = (h - contentHeight) / 2;
    if (bar >= 1) {
      checked = Rect{0, int(std::floor(bar)) - 1, w, h - int(std::floor(bar)) + 1};
      area = Rect{0, int(std::ceil(bar)) + 1, w, h - int(std::ceil(bar)) - 1};
    }
  }
  if (area.Width() < fit->width || area.Height() < fit->height) return std::nullopt;
  if (area.Width() == w && area.Height() == h) return area;
  // Bars: every pixel outside the checked part must be near black, else the
  // small picture is a stretched one of other proportions.
  constexpr int kDark = 40;
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* row = embedded.Row(y);
    const bool inRows = y >= checked.top && y < checked.bottom;
    for (int x = 0; x < w; ++x) {
      if (inRows && x >= checked.left && x < checked.right) {
        x = checked.right - 1;
        continue;
      }
      const std::uint8_t* p = row + std::size_t(x) * 3;
      if (p[0] > kDark || p[1] > kDark || p[2] > kDark) return std::nullopt;
    }
  }
  return area;
}

namespace {

bool IsJpegName(const std::string& path) {
  const std::string ext = PictureExtension(path);
  return ext == ".jpg" || ext == ".jpeg" || ext == ".jpe" || ext == ".jfif";
}

MemoryImage24 SizedImage(const ThumbnailSize& size) { return MemoryImage24(size.width, size.height); }

// The thumbnail from the small picture a camera embedded in the photo, when
// it can stand for the photo. The small picture is stored turned as the
// photo is, so both are turned upright by the photo's orientation, as the
// show draws the photo.
std::optional<MemoryImage24> FromEmbedded(const std::vector<std::uint8_t>& bytes, int side) {
  const ExifInfo exif = ReadExif(bytes);
  if (!exif.HasThumbnail()) return std::nullopt;
  const std::optional<PictureSize> stored = ReadJpegFrameSize(bytes.data(), bytes.size());
  if (!stored) return std::nullopt;
  const PictureSize upright = OrientedSize(exif.orientation, stored->width, stored->height);
  const auto small = bytes.begin() + std::ptrdiff_t(exif.thumbnailOffset);
  try {
    const auto graphic = JpegGraphic::FromBytes(
        std::vector<std::uint8_t>(small, small + std::ptrdiff_t(exif.thumbnailLength)), "embedded picture");
    MemoryImage24 decoded(graphic->Width(), graphic->Height());
    graphic->Draw(decoded, 0, 0);
    if (graphic->LastDecodeWarnings() != 0) return std::nullopt;
    MakeUpright(decoded, exif.orientation);
    const std::optional<Rect> area = EmbeddedPictureArea(decoded, upright.width, upright.height, side);
    if (!area) return std::nullopt;
    const ThumbnailSize fit = *FitThumbnail(upright.width, upright.height, side);
    MemoryImage24 image = SizedImage(fit);
    ResampleBgr(decoded.Row(area->top) + std::size_t(area->left) * 3, area->Width(), area->Height(),
                std::size_t(decoded.Stride()), image, Rect{0, 0, fit.width, fit.height});
    return image;
  } catch (const EPictureError&) {
    return std::nullopt;  // a damaged small picture: decode the photo itself
  }
}

}  // namespace

MemoryImage24 RenderJpegThumbnail(std::vector<std::uint8_t> bytes, const std::string& name,
                                  ThumbnailRoute* route, int side) {
  if (auto image = FromEmbedded(bytes, side)) {
    if (route) *route = ThumbnailRoute::EmbeddedPicture;
    return std::move(*image);
  }
  const auto graphic = JpegGraphic::FromBytes(std::move(bytes), name);
  const ThumbnailSize fit = *FitThumbnail(graphic->Width(), graphic->Height(), side);
  MemoryImage24 image = SizedImage(fit);
  // Decodes at ThumbnailDecodeScale and resamples (the graphic chooses the
  // same scale for this rectangle).
  graphic->StretchDraw(image, Rect{0, 0, fit.width, fit.height});
  if (route)
    *route = ThumbnailDecodeScale(graphic->Width(), graphic->Height(), side) < 8 ? ThumbnailRoute::ReducedDecode
                                                                           : ThumbnailRoute::WholePicture;
  return image;
}

MemoryImage24 RenderThumbnail(const std::string& path, ThumbnailRoute* route, int side) {
  if (IsJpegName(path)) return RenderJpegThumbnail(ReadPictureFile(path), path, route, side);
  const std::shared_ptr<const Graphic> graphic = LoadGraphic(path);
  const auto fit = FitThumbnail(graphic->Width(), graphic->Height(), side);
  if (!fit) throw EPictureError(path + ": the picture has no pixels");
  MemoryImage24 image = SizedImage(*fit);
  image.Fill(kWhite);  // metafiles and icons draw only their own marks
  graphic->StretchDraw(image, Rect{0, 0, fit->width, fit->height});
  if (route) *route = ThumbnailRoute::WholePicture;
  return image;
}

ThumbnailStore::ThumbnailStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

std::filesystem::path ThumbnailStore::FileName(std::int32_t n) const {
  return folder_ / ("Velm$" + std::to_string(n) + ".bmp");
}

void ThumbnailStore::Keep(std::int32_t n, MemoryImage24 image) {
  auto kept = std::make_shared<const MemoryImage24>(std::move(image));
  std::lock_guard lock(memoryMutex_);
  inMemory_[n] = std::move(kept);
}

bool ThumbnailStore::Make(const std::string& path, std::int32_t n) {
  const std::filesystem::path file = FileName(n);
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove(file, ignored);
  {
    std::lock_guard lock(memoryMutex_);
    inMemory_.erase(n);
  }
  MemoryImage24 image;
  try {
    image = RenderThumbnail(path, nullptr, Side());
  } catch (const std::exception&) {
    return false;  // damaged, unreadable, too large for memory: no thumbnail
  }
  bool written = false;
  if (!folder_.empty()) {
    try {
      const std::vector<std::uint8_t> bmp = EncodeBmp(image);
      std::ofstream out(file, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(bmp.data()), std::streamsize(bmp.size()));
      out.close();
      written = !out.fail();
    } catch (const std::exception&) {
      written = false;
    }
    if (!written) std::filesystem::remove(file, ignored);  // no half-written file is left to be read
  }
  if (!written) Keep(n, std::move(image));
  return true;
}

std::vector<bool> ThumbnailStore::MakeMany(const std::vector<ThumbnailJob>& jobs, const ThumbnailProgress& progress,
                                           const std::atomic<bool>* cancel, unsigned threads) {
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  threads = unsigned(std::min<std::size_t>(threads, jobs.size()));
  std::vector<char> made(jobs.size(), 0);
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t next = 0;      // the first job not yet begun
  std::size_t finished = 0;  // jobs done
  unsigned running = threads;

  auto work = [&] {
    for (;;) {
      std::size_t i = 0;
      {
        std::lock_guard lock(mutex);
        if (next >= jobs.size() || (cancel && cancel->load())) break;
        i = next++;
      }
      const bool ok = Make(jobs[i].path, jobs[i].number);
      std::lock_guard lock(mutex);
      made[i] = ok;
      ++finished;
      changed.notify_all();
    }
    std::lock_guard lock(mutex);
    --running;
    changed.notify_all();
  };

  std::vector<std::jthread> workers;
  workers.reserve(threads);
  for (unsigned t = 0; t < threads; ++t) workers.emplace_back(work);

  std::size_t reported = 0;
  std::unique_lock lock(mutex);
  while (running > 0) {
    changed.wait_for(lock, std::chrono::milliseconds(50));
    const std::size_t done = finished;
    if (progress && (done != reported || running > 0)) {
      reported = done;
      lock.unlock();
      progress(done, jobs.size());
      lock.lock();
    }
  }
  lock.unlock();
  workers.clear();  // joins
  if (progress && reported != finished) progress(finished, jobs.size());
  return std::vector<bool>(made.begin(), made.begin() + std::ptrdiff_t(next));
}

std::shared_ptr<const MemoryImage24> ThumbnailStore::Load(std::int32_t n) const {
  {
    std::lock_guard lock(memoryMutex_);
    if (const auto it = inMemory_.find(n); it != inMemory_.end()) return it->second;
  }
  if (folder_.empty()) return nullptr;
  std::ifstream in(FileName(n), std::ios::binary);
  if (!in) return nullptr;
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  try {
    return std::make_shared<const MemoryImage24>(DecodeBmp(bytes.data(), bytes.size(), "thumbnail " + std::to_string(n)));
  } catch (const EPictureError&) {
    return nullptr;
  }
}

bool ThumbnailStore::InMemory(std::int32_t n) const {
  std::lock_guard lock(memoryMutex_);
  return inMemory_.count(n) != 0;
}

void ThumbnailStore::Delete(std::int32_t n) {
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove(FileName(n), ignored);
  std::lock_guard lock(memoryMutex_);
  inMemory_.erase(n);
}

void ThumbnailStore::DeleteAll(std::int32_t below) {
  std::error_code ignored;
  if (!folder_.empty())
    for (std::int32_t n = 1; n < below; ++n) std::filesystem::remove(FileName(n), ignored);
  std::lock_guard lock(memoryMutex_);
  inMemory_.erase(inMemory_.begin(), inMemory_.lower_bound(below));
}

}  // namespace velmora
