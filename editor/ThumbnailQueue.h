// The thumbnails of a strip made in the background: jobs (thumbnail number
// and path) wait in the order they were added and worker threads, one per
// processor, take the first one. The strip moves the thumbnails it shows to
// the front (Prioritize), so that the slots in view fill first whatever the
// size of the batch.
//
// Each result goes to the result callback on the worker thread that made
// it; the window side turns it into a posted message. A cancelled job is
// dropped while it waits; one cancelled while it is being made has its
// result discarded (the discard callback deletes what was made) and never
// reported. Stop drops every waiting job and discards the results of the
// running ones; Join then waits for the workers to end, after which nothing
// is made, written or reported any more.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "editor/Thumbnails.h"

namespace velmora {

class ThumbnailQueue {
 public:
  // Makes one thumbnail: true when made, false when the picture cannot be
  // read. Called on the workers, several at once.
  using Maker = std::function<bool(const ThumbnailJob& job)>;
  // Deletes thumbnail `number` made for a job that was cancelled meanwhile.
  using Discard = std::function<void(std::int32_t number)>;
  // Tells of a finished job (on a worker thread). Must not call the queue.
  using Result = std::function<void(std::int32_t number, bool made)>;

  // threads 0: one per processor.
  ThumbnailQueue(Maker make, Discard discard, Result result, unsigned threads = 0);
  // Stop, then Join.
  ~ThumbnailQueue();
  ThumbnailQueue(const ThumbnailQueue&) = delete;
  ThumbnailQueue& operator=(const ThumbnailQueue&) = delete;

  // Queues the jobs behind those waiting, in their order. Ignored once
  // stopped.
  void Add(const std::vector<ThumbnailJob>& jobs);
  // Moves the waiting jobs of these numbers to the front, in this order
  // (the strip's slot order); numbers not waiting are passed over.
  void Prioritize(const std::vector<std::int32_t>& numbers);
  // Drops the waiting job of this number, or discards its result when it
  // is being made.
  void Cancel(std::int32_t number);
  // Drops every waiting job; the running ones finish and are discarded.
  // Does not wait.
  void Stop();
  // Waits for the workers to end (after Stop; Join alone stops first).
  void Join();

  // The numbers of the waiting jobs, first to be taken first.
  std::vector<std::int32_t> Waiting() const;
  // Jobs waiting or being made (cancelled running ones not counted).
  std::size_t Outstanding() const;

 private:
  void Work();

  Maker make_;
  Discard discard_;
  Result result_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<ThumbnailJob> waiting_;
  std::multiset<std::int32_t> running_;
  std::multiset<std::int32_t> cancelled_;  // running jobs whose result is discarded
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace velmora
