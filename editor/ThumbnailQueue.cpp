#include "editor/ThumbnailQueue.h"

#include <algorithm>

namespace velmora {

ThumbnailQueue::ThumbnailQueue(Maker make, Discard discard, Result result, unsigned threads)
    : make_(std::move(make)), discard_(std::move(discard)), result_(std::move(result)) {
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  workers_.reserve(threads);
  for (unsigned t = 0; t < threads; ++t) workers_.emplace_back([this] { Work(); });
}

ThumbnailQueue::~ThumbnailQueue() { Join(); }

void ThumbnailQueue::Add(const std::vector<ThumbnailJob>& jobs) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    waiting_.insert(waiting_.end(), jobs.begin(), jobs.end());
  }
  wake_.notify_all();
}

void ThumbnailQueue::Prioritize(const std::vector<std::int32_t>& numbers) {
  std::lock_guard lock(mutex_);
  // Last first, each to the front: the first number ends up in front.
  for (auto n = numbers.rbegin(); n != numbers.rend(); ++n) {
    const auto found =
        std::find_if(waiting_.begin(), waiting_.end(), [&](const ThumbnailJob& job) { return job.number == *n; });
    if (found == waiting_.end() || found == waiting_.begin()) continue;
    ThumbnailJob job = std::move(*found);
    waiting_.erase(found);
    waiting_.push_front(std::move(job));
  }
}

void ThumbnailQueue::Cancel(std::int32_t number) {
  std::lock_guard lock(mutex_);
  const auto found =
      std::find_if(waiting_.begin(), waiting_.end(), [&](const ThumbnailJob& job) { return job.number == number; });
  if (found != waiting_.end()) {
    waiting_.erase(found);
    return;
  }
  if (running_.count(number) > cancelled_.count(number)) cancelled_.insert(number);
}

void ThumbnailQueue::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    waiting_.clear();
  }
  wake_.notify_all();
}

void ThumbnailQueue::Join() {
  Stop();
  for (std::thread& worker : workers_)
    if (worker.joinable()) worker.join();
  workers_.clear();
}

std::vector<std::int32_t> ThumbnailQueue::Waiting() const {
  std::lock_guard lock(mutex_);
  std::vector<std::int32_t> numbers;
  numbers.reserve(waiting_.size());
  for (const ThumbnailJob& job : waiting_) numbers.push_back(job.number);
  return numbers;
}

std::size_t ThumbnailQueue::Outstanding() const {
  std::lock_guard lock(mutex_);
  return waiting_.size() + running_.size() - cancelled_.size();
}

void ThumbnailQueue::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
    if (stopping_) return;
    ThumbnailJob job = std::move(waiting_.front());
    waiting_.pop_front();
    running_.insert(job.number);
    lock.unlock();
    bool made = false;
    try {
      made = make_(job);
    } catch (...) {
      made = false;  // a maker that throws made nothing
    }
    lock.lock();
    running_.erase(running_.find(job.number));
    bool dropped = stopping_;
    if (const auto c = cancelled_.find(job.number); c != cancelled_.end()) {
      cancelled_.erase(c);
      dropped = true;
    }
    if (dropped) {
      // Under the lock: Join cannot return, nor a later job of this
      // number begin, before the file is gone.
      if (made) discard_(job.number);
      continue;
    }
    // Reported under the lock as well, so that nothing is reported once
    // Stop has returned.
    result_(job.number, made);
  }
}

}  // namespace velmora
