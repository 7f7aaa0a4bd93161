#include "editor/StripThumbnailsWin32.h"

#include <atomic>
#include <optional>

#include "fade/Resample.h"
#include "platform/ProgressWindowWin32.h"

namespace velmora {

namespace {

// How long the thumbnails of a batch may take before the progress window shows.
constexpr ULONGLONG kProgressDelayMs = 1000;
// How many thumbnails read back are kept in memory.
constexpr std::size_t kKeptThumbnails = 512;

}  // namespace

StripThumbnails::StripThumbnails() = default;
StripThumbnails::~StripThumbnails() = default;

std::vector<bool> StripThumbnails::MakeThumbnails(const std::vector<std::string>& paths, std::int32_t firstNumber) {
  std::vector<ThumbnailJob> jobs;
  jobs.reserve(paths.size());
  for (std::size_t k = 0; k < paths.size(); ++k)
    jobs.push_back({paths[k], firstNumber + static_cast<std::int32_t>(k)});
  const ULONGLONG start = ::GetTickCount64();
  std::optional<ProgressWindow> progress;
  std::atomic<bool> cancel{false};
  auto report = [&](std::size_t done, std::size_t total) {
    if (!progress && done < total && ::GetTickCount64() - start > kProgressDelayMs) {
      progress.emplace();
      if (!progress->Start(owner_, "加入圖片", static_cast<int>(total))) progress.reset();
    }
    if (progress) {
      progress->Step(static_cast<int>(done));
      if (progress->Cancelled()) cancel = true;
    }
  };
  for (const ThumbnailJob& job : jobs) loaded_.erase(job.number);
  std::vector<bool> made = files_.Store().MakeMany(jobs, report, &cancel);
  if (progress) progress->Finish();
  return made;
}

bool StripThumbnails::MakeOne(const std::string& path, std::int32_t number) {
  loaded_.erase(number);
  return files_.Make(path, number);
}

std::shared_ptr<const MemoryImage24> StripThumbnails::Load(std::int32_t number) {
  if (auto found = loaded_.find(number); found != loaded_.end()) return found->second;
  std::shared_ptr<const MemoryImage24> thumbnail = files_.Store().Load(number);
  if (!thumbnail) return nullptr;
  // The slot's picture control stretches it to its square: done once here,
  // so that painting a slot is a plain copy.
  auto image = std::make_shared<MemoryImage24>();
  image->SetSize(kThumbnailSide, kThumbnailSide);
  Resample(*thumbnail, *image, Rect{0, 0, kThumbnailSide, kThumbnailSide});
  // About 37 KB each: a long show keeps the last few hundred.
  if (loaded_.size() >= kKeptThumbnails) loaded_.clear();
  loaded_.emplace(number, image);
  return image;
}

void StripThumbnails::DeleteAll(std::int32_t below) {
  loaded_.clear();
  files_.Close(below);
}

}  // namespace velmora
