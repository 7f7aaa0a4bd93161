#include "saver/PictureWorker.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fade/BmpGraphic.h"
#include "fade/JpegGraphic.h"
#include "fade/MorfFade.h"
#include "fade/PictureLoader.h"
#include "fade/ScaledRaster.h"
#include "support/ExifSupport.h"
#include "support/FakeFade.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

class PictureWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance();
    dir_ = fs::temp_directory_path() / ("velmora-worker-" + std::to_string(test->random_seed()) + test->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
  }
  fs::path dir_;
};

MemoryImage24 Pattern(int width, int height) {
  MemoryImage24 image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.FillRect(Rect{x, y, x + 1, y + 1}, TColor(x * 7 + y) | TColor(y * 5) << 8 | TColor(x ^ y) << 16);
  return image;
}

std::vector<std::uint8_t> Photo(int width, int height, bool progressive = false) {
  return EncodeJpeg(Pattern(width, height), 85, progressive);
}

// What a component of the given size shows of graphic as its "to" side in
// fit mode (all black for nullptr, as the player shows a failed picture).
MemoryImage24 Fitted(const std::shared_ptr<const Graphic>& graphic, int width, int height) {
  testing::FadeRig rig(width, height);
  rig.fade.SetColorTo(kBlack);
  rig.fade.SetPicTo(graphic);
  MemoryImage24 copy(width, height);
  copy.Draw(rig.fade.ToImage(), 0, 0);
  return copy;
}

TEST_F(PictureWorkerTest, ResultEqualsADecodeOnTheSpotBitForBit) {
  constexpr int kW = 64, kH = 36;  // the component
  std::vector<std::uint8_t> cut = Photo(120, 90);
  cut.resize(cut.size() / 2);
  const std::vector<std::string> paths = {
      Write("reduced.jpg", Photo(300, 200)), Write("turned.jpg", testing::WithOrientation(Photo(90, 160, true), 6)),
      Write("enlarged.jpg", Photo(20, 10)),  Write("exact.jpg", Photo(kW, kH)),
      Write("cut.jpg", cut),                 Write("bad.jpg", {'n', 'o'}),
      (dir_ / "gone.jpg").string(),          Write("reduced.bmp", EncodeBmp(Pattern(150, 100))),
      Write("exact.bmp", EncodeBmp(Pattern(kW, kH))),
  };
  PictureWorker worker;
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    worker.Start(path, kW, kH);
    const std::optional<std::shared_ptr<const Graphic>> ahead = worker.Take(path);
    ASSERT_TRUE(ahead.has_value());
    std::shared_ptr<const Graphic> spot;
    try {
      spot = LoadGraphic(path);
    } catch (const EPictureError&) {
    }
    ASSERT_EQ(*ahead != nullptr, spot != nullptr);
    if (const auto* raster = dynamic_cast<const ScaledRaster*>(ahead->get())) {
      // Rendered ahead at the size the fit draws it, so the component copies
      // it (a bitmap's natural size is its decoded pixels).
      const Rect fit = FitRect(raster->Width(), raster->Height(), kW, kH);
      EXPECT_EQ(raster->Keeps(fit.Width(), fit.Height()), path.find("exact.bmp") == std::string::npos);
    }
    EXPECT_TRUE(testing::SamePixels(Fitted(*ahead, kW, kH), Fitted(spot, kW, kH)));
  }
}

// A loader that reports each path it is called for and runs until it is
// released or its job is cancelled.
struct GatedLoader {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> started;
  std::vector<std::string> sawCancel;
  bool released = false;

  PictureWorker::Loader Get() {
    return [this](const std::string& path, int, int, const std::atomic<bool>& cancel) {
      std::unique_lock lock(mutex);
      started.push_back(path);
      changed.notify_all();
      // Cancelling sets the flag without notifying: look again often.
      while (!released && !cancel.load()) changed.wait_for(lock, std::chrono::milliseconds(1));
      if (cancel.load()) sawCancel.push_back(path);
      return std::shared_ptr<const Graphic>(testing::MakeGraphic(GraphicKind::Raster, 4, 4, kWhite));
    };
  }
  void WaitStarted(std::size_t count) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return started.size() >= count; });
  }
  void Release() {
    std::lock_guard lock(mutex);
    released = true;
    changed.notify_all();
  }
};

TEST_F(PictureWorkerTest, JobsAreTakenOnceAndReplacedOrStoppedJobsAreCancelled) {
  enum class Then { TakeSame, StartAnother, DestroyWorker };
  struct Case {
    Then then;
    bool gotResult;  // Take gave a picture
    bool cancelled;  // the loader saw the cancel flag
  };
  // Destroying the worker while a job runs must not wait for its end.
  const Case cases[] = {{Then::TakeSame, true, false}, {Then::StartAnother, false, true}, {Then::DestroyWorker, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.then));
    GatedLoader loader;
    std::optional<std::shared_ptr<const Graphic>> got;
    {
      PictureWorker worker(loader.Get());
      worker.Start("a.jpg", 10, 10);
      loader.WaitStarted(1);
      if (c.then == Then::TakeSame) {
        loader.Release();
        got = worker.Take("a.jpg");
      } else if (c.then == Then::StartAnother) {
        worker.Start("b.jpg", 10, 10);
        loader.WaitStarted(2);  // the worker moved on to it
        got = worker.Take("a.jpg");
      }
      if (c.then != Then::DestroyWorker) {
        EXPECT_FALSE(worker.Take("a.jpg").has_value());  // taken once
      }
    }
    EXPECT_EQ(got.has_value() && *got != nullptr, c.gotResult);
    EXPECT_EQ(!loader.sawCancel.empty() && loader.sawCancel[0] == "a.jpg", c.cancelled);
  }
}

// A job's last touch (the caption) runs on the worker with the job's sizes;
// what it gives is the job's picture, and when it fails the picture stays as
// it was loaded.
TEST_F(PictureWorkerTest, FinisherRunsOnTheWorkerAndAFailingOneKeepsThePicture) {
  enum class Finish { Replaces, Throws, GivesNothing };
  const std::shared_ptr<const Graphic> loaded(testing::MakeGraphic(GraphicKind::Raster, 4, 4, kWhite));
  const std::shared_ptr<const Graphic> finished(testing::MakeGraphic(GraphicKind::Raster, 4, 4, kBlack));
  for (const Finish finish : {Finish::Replaces, Finish::Throws, Finish::GivesNothing}) {
    SCOPED_TRACE(int(finish));
    PictureWorker worker([&](const std::string&, int, int, const std::atomic<bool>&) { return loaded; });
    std::thread::id ranOn;
    std::vector<int> widths;
    worker.Start("a.jpg", {{30, 20}, {50, 40}},
                 [&](const std::shared_ptr<const Graphic>& picture, const std::vector<PictureWorker::DrawnSize>& sizes,
                     const std::atomic<bool>&) -> std::shared_ptr<const Graphic> {
                   ranOn = std::this_thread::get_id();
                   EXPECT_EQ(picture, loaded);
                   for (const auto& size : sizes) widths.push_back(size.width);
                   if (finish == Finish::Throws) throw std::runtime_error("no font");
                   return finish == Finish::Replaces ? finished : nullptr;
                 });
    const auto got = worker.Take("a.jpg");
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(*got, finish == Finish::Replaces ? finished : loaded);
    EXPECT_NE(ranOn, std::this_thread::get_id());
    EXPECT_EQ(widths, (std::vector<int>{30, 50}));
  }
}

}  // namespace
}  // namespace velmora
