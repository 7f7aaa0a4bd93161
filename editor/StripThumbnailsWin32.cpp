#include "editor/StripThumbnailsWin32.h"

#include <utility>

#include "editor/EditorLinksWin32.h"
#include "editor/FolderFrames.h"
#include "fade/Resample.h"

namespace velmora {

namespace {

// How many thumbnails read back are kept in memory.
constexpr std::size_t kKeptThumbnails = 512;

}  // namespace

StripThumbnails::StripThumbnails()
    : queue_([this](const ThumbnailJob& job) { return MakeJob(job); },
             [this](std::int32_t number) { files_.Store().Delete(number); },
             [this](std::int32_t number, bool made) {
               // A window gone meanwhile refuses the message: nothing is lost
               // that closing does not delete anyway.
               if (HWND owner = owner_.load())
                 ::PostMessageW(owner, ThumbnailMadeMessage, static_cast<WPARAM>(number), made ? 1 : 0);
             }),
      counter_([this](const std::string& folder, bool includeSubfolders, std::optional<std::int64_t> count) {
        {
          std::lock_guard lock(countsMutex_);
          counts_.push_back({folder, includeSubfolders, count});
        }
        if (HWND owner = owner_.load()) ::PostMessageW(owner, FolderCountedMessage, 0, 0);
      }) {}

StripThumbnails::~StripThumbnails() {
  counter_.Stop();
  stopping_ = true;
  queue_.Join();
}

bool StripThumbnails::MakeJob(const ThumbnailJob& job) {
  if (!job.folder) return files_.Store().Make(job.path, job.number);
  const std::optional<std::string> first = FirstFolderPicture(job.path, job.includeSubfolders, &stopping_);
  if (!first) {
    // No picture (or the folder is gone): no thumbnail of this number.
    files_.Store().Delete(job.number);
    return false;
  }
  return files_.Store().Make(*first, job.number);
}

void StripThumbnails::CountFolder(const std::string& folder, bool includeSubfolders) {
  counter_.Count(folder, includeSubfolders);
}

std::vector<StripThumbnails::FolderCount> StripThumbnails::TakeCounts() {
  std::lock_guard lock(countsMutex_);
  return std::exchange(counts_, {});
}

void StripThumbnails::QueueFolderThumbnail(const std::string& folder, bool includeSubfolders,
                                           std::int32_t number) {
  ThumbnailJob job{folder, number, true, includeSubfolders};
  loaded_.erase(number);
  jobs_[number] = job;
  remaking_.erase(number);
  files_.NoteMade(number);
  queue_.Add({job});
}

void StripThumbnails::QueueThumbnails(const std::vector<std::string>& paths, std::int32_t firstNumber) {
  std::vector<ThumbnailJob> jobs;
  jobs.reserve(paths.size());
  for (std::size_t k = 0; k < paths.size(); ++k) {
    jobs.push_back({paths[k], firstNumber + static_cast<std::int32_t>(k)});
    loaded_.erase(jobs.back().number);
    jobs_[jobs.back().number] = jobs.back();
    remaking_.erase(jobs.back().number);
  }
  if (!jobs.empty()) files_.NoteMade(jobs.back().number);
  queue_.Add(jobs);
}

void StripThumbnails::PrioritizeThumbnails(const std::vector<std::int32_t>& numbers) { queue_.Prioritize(numbers); }

void StripThumbnails::CancelThumbnail(std::int32_t number) {
  queue_.Cancel(number);
  jobs_.erase(number);
  remaking_.erase(number);
}

bool StripThumbnails::MakeOne(const std::string& path, std::int32_t number) {
  loaded_.erase(number);
  jobs_[number] = ThumbnailJob{path, number};
  return files_.Make(path, number);
}

std::shared_ptr<const MemoryImage24> StripThumbnails::Load(std::int32_t number) {
  if (auto found = loaded_.find(number); found != loaded_.end()) return found->second;
  std::shared_ptr<const MemoryImage24> thumbnail = files_.Store().Load(number);
  if (!thumbnail) return nullptr;
  // The slot's picture control stretches it to its square: done once here,
  // so that painting a slot is a plain copy.
  auto image = std::make_shared<MemoryImage24>();
  image->SetSize(side_, side_);
  Resample(*thumbnail, *image, Rect{0, 0, side_, side_});
  // About 37 KB each at 100 %: a long show keeps the last few hundred.
  if (loaded_.size() >= kKeptThumbnails) loaded_.clear();
  loaded_.emplace(number, image);
  return image;
}

void StripThumbnails::SetSide(int side) {
  if (side <= 0 || side == side_) return;
  side_ = side;
  files_.Store().SetSide(side);
  loaded_.clear();
  std::vector<ThumbnailJob> jobs;
  jobs.reserve(jobs_.size());
  for (const auto& [number, job] : jobs_) {
    jobs.push_back(job);
    remaking_.insert(number);
  }
  if (!jobs.empty()) queue_.Add(jobs);
}

void StripThumbnails::DeleteAll(std::int32_t below) {
  // The workers first: none may write a file after the folder is emptied.
  counter_.Stop();
  stopping_ = true;
  queue_.Join();
  loaded_.clear();
  jobs_.clear();
  remaking_.clear();
  files_.Close(below);
}

}  // namespace velmora
