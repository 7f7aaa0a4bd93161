// Loads the picture of the frame that comes on screen next, on a thread of
// its own, while the current frame stands still, and decodes it at the size
// the transition component will draw it; the step then starts from ready
// pixels.
//
// One worker thread and at most one job: (path, drawn sizes). The picture is
// loaded once and prepared at each size (one per monitor the show plays on). The player
// starts a job after each step and takes its result at the next one. Taking
// waits only for what is left of a running job; a job started for another
// path, or not at all, gives nothing and the caller loads on the spot.
// Replacing, cancelling or destroying stops a running job between scanlines
// (or chunks of the file) and never keeps its result.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "fade/Graphics.h"

namespace velmora {

class PictureWorker {
 public:
  // Loads path and prepares it for drawing in fit mode into a width x height
  // component (0 x 0: load only). Gives up, with any result, once cancel is
  // set. A picture that cannot be loaded throws or gives nullptr.
  using Loader = std::function<std::shared_ptr<const Graphic>(const std::string& path, int width, int height,
                                                              const std::atomic<bool>& cancel)>;

  // The loader the player uses: LoadGraphic, then PrepareFor.
  static std::shared_ptr<const Graphic> LoadAndPrepare(const std::string& path, int width, int height,
                                                       const std::atomic<bool>& cancel);

  // Prepares a loaded picture for drawing in fit mode into one more
  // width x height component: a raster picture (JPEG, bitmap, or read
  // through the imaging component) rendered at its fit rectangle into its
  // kept sizes; metafiles and icons need nothing. Gives up once cancel is set.
  static void PrepareFor(const Graphic& graphic, int width, int height, const std::atomic<bool>& cancel);

  // A component size a job prepares its picture for.
  struct DrawnSize {
    int width = 0;
    int height = 0;
  };

  explicit PictureWorker(Loader loader = &LoadAndPrepare);
  // Stops a running job and waits for the thread, which returns within one
  // row of the decode.
  ~PictureWorker();
  PictureWorker(const PictureWorker&) = delete;
  PictureWorker& operator=(const PictureWorker&) = delete;

  // Starts loading path for a width x height component; a job not yet taken
  // is cancelled and dropped.
  void Start(const std::string& path, int width, int height);
  // What a job does last with its prepared picture, on the worker: the
  // picture to give instead (a caption drawn onto it). Gives up once cancel
  // is set; a throw gives the picture as it was.
  using Finisher = std::function<std::shared_ptr<const Graphic>(
      const std::shared_ptr<const Graphic>& picture, const std::vector<DrawnSize>& sizes,
      const std::atomic<bool>& cancel)>;
  // The same for several components: the loader runs for the first size,
  // PrepareFor for each further one, then finish if given. No sizes: load only.
  void Start(const std::string& path, std::vector<DrawnSize> sizes, Finisher finish = {});
  // The picture of the job for path: waits for the rest of it if it runs.
  // nullopt when there is no job for path (the caller loads it itself); a
  // nullptr picture when the job could not load it. The job is gone after.
  std::optional<std::shared_ptr<const Graphic>> Take(const std::string& path);
  // Cancels and drops the job, if any.
  void Cancel();

 private:
  struct Job {
    std::string path;
    std::vector<DrawnSize> sizes;  // the first one is the loader's
    Finisher finish;
    std::atomic<bool> cancel{false};
    bool started = false;  // guarded by mutex_
    bool done = false;     // guarded by mutex_
    std::shared_ptr<const Graphic> result;
  };

  void Run();
  void DropJobLocked();

  Loader loader_;
  std::mutex mutex_;
  std::condition_variable changed_;
  // The job the next Take is about; shared with the thread while it runs it.
  std::shared_ptr<Job> job_;
  bool quit_ = false;
  std::thread thread_;  // last: started after everything it uses
};

}  // namespace velmora
