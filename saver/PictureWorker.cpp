#include "saver/PictureWorker.h"

#include <exception>
#include <utility>

#include "fade/MorfFade.h"
#include "fade/PictureLoader.h"
#include "fade/ScaledRaster.h"

namespace velmora {

std::shared_ptr<const Graphic> PictureWorker::LoadAndPrepare(const std::string& path, int width, int height,
                                                             const std::atomic<bool>& cancel) {
  PictureReadCancelScope scope(cancel);
  std::shared_ptr<const Graphic> graphic = LoadGraphic(path);
  if (graphic) PrepareFor(*graphic, width, height, cancel);
  return graphic;
}

void PictureWorker::PrepareFor(const Graphic& graphic, int width, int height, const std::atomic<bool>& cancel) {
  // Every raster kind is rendered ahead; metafiles and icons are drawn by
  // the system on the spot.
  const auto* raster = dynamic_cast<const ScaledRaster*>(&graphic);
  if (raster && width > 0 && height > 0 && raster->Width() > 0 && raster->Height() > 0) {
    const Rect fit = FitRect(raster->Width(), raster->Height(), width, height);
    if (fit.Width() > 0 && fit.Height() > 0) raster->Prepare(fit.Width(), fit.Height(), &cancel);
  }
}

PictureWorker::PictureWorker(Loader loader) : loader_(std::move(loader)) {}

PictureWorker::~PictureWorker() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
    DropJobLocked();
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void PictureWorker::DropJobLocked() {
  if (job_) job_->cancel.store(true, std::memory_order_relaxed);
  job_.reset();
}

void PictureWorker::Start(const std::string& path, int width, int height) {
  Start(path, std::vector<DrawnSize>{DrawnSize{width, height}});
}

void PictureWorker::Start(const std::string& path, std::vector<DrawnSize> sizes, Finisher finish) {
  {
    std::lock_guard lock(mutex_);
    DropJobLocked();
    if (!thread_.joinable()) {
      try {
        thread_ = std::thread([this] { Run(); });
      } catch (const std::exception&) {
        return;  // no thread: every picture is loaded on the spot
      }
    }
    job_ = std::make_shared<Job>();
    job_->path = path;
    job_->sizes = std::move(sizes);
    job_->finish = std::move(finish);
  }
  changed_.notify_all();
}

std::optional<std::shared_ptr<const Graphic>> PictureWorker::Take(const std::string& path) {
  std::unique_lock lock(mutex_);
  if (!job_ || job_->path != path) {
    DropJobLocked();
    return std::nullopt;
  }
  const std::shared_ptr<Job> job = job_;
  changed_.wait(lock, [&job] { return job->done; });
  job_.reset();
  return std::move(job->result);
}

void PictureWorker::Cancel() {
  std::lock_guard lock(mutex_);
  DropJobLocked();
}

void PictureWorker::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return quit_ || (job_ && !job_->started); });
    if (quit_) return;
    // The job stays alive through this reference even when it is dropped
    // meanwhile; its cancel flag then stops the loader early.
    const std::shared_ptr<Job> job = job_;
    job->started = true;
    lock.unlock();
    std::shared_ptr<const Graphic> result;
    try {
      const DrawnSize first = job->sizes.empty() ? DrawnSize{} : job->sizes.front();
      result = loader_(job->path, first.width, first.height, job->cancel);
      for (std::size_t i = 1; result && i < job->sizes.size(); ++i) {
        if (job->cancel.load(std::memory_order_relaxed)) break;
        PrepareFor(*result, job->sizes[i].width, job->sizes[i].height, job->cancel);
      }
    } catch (...) {
      result = nullptr;  // shown black, as a picture loaded on the spot would be
    }
    if (result && job->finish && !job->cancel.load(std::memory_order_relaxed)) {
      try {
        if (std::shared_ptr<const Graphic> finished = job->finish(result, job->sizes, job->cancel))
          result = std::move(finished);
      } catch (...) {
        // The picture is shown as it was loaded.
      }
    }
    lock.lock();
    job->result = std::move(result);
    job->done = true;
    changed_.notify_all();
  }
}

}  // namespace velmora
