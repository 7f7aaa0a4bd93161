#include "saver/PictureWorker.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "fade/JpegGraphic.h"
#include "fade/MorfFade.h"
#include "fade/PictureLoader.h"
#include "support/ExifSupport.h"
#include "support/FakeFade.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

class PictureWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("velmora-worker-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
  }
  fs::path dir_;
};

std::vector<std::uint8_t> Photo(int width, int height, bool progressive = false) {
  MemoryImage24 image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = image.Row(y) + x * 3;
      p[0] = std::uint8_t(x * 7 + y);
      p[1] = std::uint8_t(y * 5);
      p[2] = std::uint8_t((x ^ y) * 3);
    }
  return EncodeJpeg(image, 85, progressive);
}

// The to-image a component of the given size prepares from graphic in fit
// mode (all black when graphic is nullptr, as the player shows a failed one).
MemoryImage24 FittedToImage(const std::shared_ptr<const Graphic>& graphic, int width, int height) {
  testing::FadeRig rig(width, height);
  rig.fade.SetColorTo(kBlack);
  rig.fade.SetPicTo(graphic);
  MemoryImage24 copy(width, height);
  copy.Draw(rig.fade.ToImage(), 0, 0);
  return copy;
}

std::shared_ptr<const Graphic> LoadOnTheSpot(const std::string& path) {
  try {
    return LoadGraphic(path);
  } catch (const EPictureError&) {
    return nullptr;
  }
}

TEST_F(PictureWorkerTest, ResultEqualsADecodeOnTheSpotBitForBit) {
  constexpr int kW = 64, kH = 36;  // the component
  std::vector<std::uint8_t> truncated = Photo(120, 90);
  truncated.resize(truncated.size() / 2);
  struct Case {
    const char* name;
    std::string path;
    bool loads;
  };
  const std::vector<Case> cases = {
      {"reduced", Write("a.jpg", Photo(300, 200)), true},
      {"progressive", Write("p.jpg", Photo(200, 300, true)), true},
      {"turned", Write("t.jpg", testing::WithOrientation(Photo(160, 90), 6)), true},
      {"enlarged", Write("s.jpg", Photo(20, 10)), true},
      {"exactly the component", Write("e.jpg", Photo(kW, kH)), true},
      {"data cut short", Write("cut.jpg", truncated), true},
      {"not a JPEG", Write("bad.jpg", {'n', 'o', 'p', 'e'}), false},
      {"missing", (dir_ / "gone.jpg").string(), false},
      {"no picture extension", Write("a.txt", Photo(30, 30)), false},
  };
  PictureWorker worker;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    worker.Start(c.path, kW, kH);
    const std::optional<std::shared_ptr<const Graphic>> ahead = worker.Take(c.path);
    ASSERT_TRUE(ahead.has_value());
    const std::shared_ptr<const Graphic> spot = LoadOnTheSpot(c.path);
    ASSERT_EQ(*ahead != nullptr, c.loads);
    ASSERT_EQ(spot != nullptr, c.loads);
    if (!c.loads) continue;
    // Decoded ahead at the size the fit draws it, so the component copies it.
    const auto* jpeg = dynamic_cast<const JpegGraphic*>(ahead->get());
    ASSERT_NE(jpeg, nullptr);
    const Rect fit = FitRect(jpeg->Width(), jpeg->Height(), kW, kH);
    EXPECT_TRUE(jpeg->Keeps(fit.Width(), fit.Height()));
    EXPECT_TRUE(testing::SamePixels(FittedToImage(*ahead, kW, kH), FittedToImage(spot, kW, kH)));
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
  enum class Then { TakeSame, TakeOther, StartAnother, CancelIt, DestroyWorker };
  struct Case {
    const char* name;
    Then then;
    bool gotResult;   // Take gave a picture
    bool cancelled;   // the loader saw the cancel flag
  };
  const Case cases[] = {
      {"taken for its path waits for the rest", Then::TakeSame, true, false},
      {"taken for another path", Then::TakeOther, false, true},
      {"replaced by another job", Then::StartAnother, false, true},
      {"cancelled", Then::CancelIt, false, true},
      {"worker destroyed while it runs", Then::DestroyWorker, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GatedLoader loader;
    std::optional<std::shared_ptr<const Graphic>> got;
    {
      PictureWorker worker(loader.Get());
      worker.Start("a.jpg", 10, 10);
      loader.WaitStarted(1);
      switch (c.then) {
        case Then::TakeSame:
          loader.Release();
          got = worker.Take("a.jpg");
          break;
        case Then::TakeOther:
          got = worker.Take("b.jpg");
          break;
        case Then::StartAnother:
          worker.Start("b.jpg", 10, 10);
          loader.WaitStarted(2);  // the worker moved on to it
          got = worker.Take("a.jpg");
          break;
        case Then::CancelIt:
          worker.Cancel();
          got = worker.Take("a.jpg");
          break;
        case Then::DestroyWorker:
          break;  // leaving the scope must not wait for a release
      }
      // Nothing is left for a second Take.
      if (c.then != Then::DestroyWorker) {
        EXPECT_FALSE(worker.Take("a.jpg").has_value());
      }
    }
    EXPECT_EQ(got.has_value() && *got != nullptr, c.gotResult);
    EXPECT_EQ(!loader.sawCancel.empty() && loader.sawCancel[0] == "a.jpg", c.cancelled);
  }
}

}  // namespace
}  // namespace velmora
