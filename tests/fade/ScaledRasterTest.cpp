#include "fade/ScaledRaster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace velmora {
namespace {

// The colour a fake picture shows at (x, y) when drawn at width x height:
// every size and place gives other pixels, so a copy of the wrong size or
// place shows.
TColor PatternAt(int width, int height, int x, int y) {
  return TColor((x * 7 + width) & 0xFF) | TColor((y * 5 + height) & 0xFF) << 8 | TColor((x ^ y) & 0xFF) << 16;
}

void FillPattern(Image24& image, int width, int height, const Rect& rect) {
  for (int y = std::max(rect.top, 0); y < std::min(rect.bottom, image.Height()); ++y)
    for (int x = std::max(rect.left, 0); x < std::min(rect.right, image.Width()); ++x)
      image.FillRect(Rect{x, y, x + 1, y + 1}, PatternAt(width, height, x - rect.left, y - rect.top));
}

// A kind that counts its renders; it can fail, or wait at a gate inside a
// render until released.
class CountingRaster final : public ScaledRaster {
 public:
  CountingRaster(NaturalSize natural, int width, int height) : ScaledRaster(natural, width, height) {}
  using ScaledRaster::NaturalSize;

  mutable int rendered = 0;  // Render calls that gave a picture
  mutable int direct = 0;    // RenderInto calls
  bool fails = false;

  // The gate: a render waits there while `gated` until Release.
  bool gated = false;
  void WaitInRender() const {
    std::unique_lock lock(gateMutex_);
    gateChanged_.wait(lock, [this] { return inRender_; });
  }
  void Release() {
    std::lock_guard lock(gateMutex_);
    released_ = true;
    gateChanged_.notify_all();
  }

 private:
  std::shared_ptr<MemoryImage24> Render(int width, int height, const std::atomic<bool>* cancel) const override {
    if (gated) {
      std::unique_lock lock(gateMutex_);
      inRender_ = true;
      gateChanged_.notify_all();
      gateChanged_.wait(lock, [this] { return released_; });
    }
    if (fails) throw std::runtime_error("damaged");
    if (cancel && cancel->load()) return nullptr;
    ++rendered;
    auto image = std::make_shared<MemoryImage24>(width, height);
    FillPattern(*image, width, height, Rect{0, 0, width, height});
    return image;
  }
  void RenderInto(Image24& target, const Rect& rect) const override {
    if (fails) throw std::runtime_error("damaged");
    ++direct;
    FillPattern(target, rect.Width(), rect.Height(), rect);
  }

  mutable std::mutex gateMutex_;
  mutable std::condition_variable gateChanged_;
  mutable bool inRender_ = false;
  bool released_ = false;
};

using Natural = CountingRaster::NaturalSize;
constexpr int kW = 40, kH = 30;  // the fake's natural size
constexpr TColor kBackground = 0x123456;

// What a draw into rect of a 50 x 40 target must show (black where the
// render failed).
MemoryImage24 Expected(const Rect& rect, bool failed = false) {
  MemoryImage24 image(50, 40);
  image.Fill(kBackground);
  if (failed)
    image.FillRect(rect, kBlack);
  else
    FillPattern(image, rect.Width(), rect.Height(), rect);
  return image;
}

bool Same(const Image24& a, const Image24& b) {
  return a.Width() == b.Width() && a.Height() == b.Height() &&
         std::equal(a.Bits(), a.Bits() + a.ByteSize(), b.Bits());
}

// One step of a case: draw (scaled, or natural at rect's corner when rect
// has the natural size) or prepare a size.
struct Step {
  enum { Draw, Prepare, PrepareCancelled } what;
  Rect rect;
};

TEST(ScaledRasterTest, KeepsTheLastFourSizesAndRendersEachOnce) {
  const Rect a{0, 0, 20, 15}, b{5, 5, 35, 25}, big{-3, -2, 60, 45}, d{1, 1, 11, 9}, e{0, 0, 7, 7};
  const Rect natural{2, 3, 2 + kW, 3 + kH};
  const Rect huge{-100, -100, 5901, 5900};  // 6001 x 6000: more than kMaxKeptPixels
  struct Case {
    const char* name;
    Natural policy;
    std::vector<Step> steps;
    int rendered, direct;            // renders into a kept picture, straight into the target
    std::vector<Rect> kept, notKept;  // sizes kept at the end
    bool fails = false;               // every render throws
  };
  const Case cases[] = {
      {"a second draw at a kept size renders nothing", Natural::Keep, {{Step::Draw, a}, {Step::Draw, a}}, 1, 0, {a}, {}},
      {"a clipped place of a kept size is a copy", Natural::Keep, {{Step::Draw, b}, {Step::Draw, {-10, -10, 20, 10}}}, 1, 0, {b}, {}},
      {"a fifth size evicts the oldest", Natural::Keep,
       {{Step::Draw, a}, {Step::Draw, b}, {Step::Draw, big}, {Step::Draw, d}, {Step::Draw, e}, {Step::Draw, b}}, 5, 0,
       {b, big, d, e}, {a}},
      {"drawing a kept size again does not make it newest", Natural::Keep,
       {{Step::Draw, a}, {Step::Draw, b}, {Step::Draw, big}, {Step::Draw, d}, {Step::Draw, a}, {Step::Draw, e}}, 5, 0,
       {b, big, d, e}, {a}},
      {"prepare then draw renders once", Natural::Keep, {{Step::Prepare, a}, {Step::Draw, a}}, 1, 0, {a}, {}},
      {"a cancelled prepare keeps nothing", Natural::Keep, {{Step::PrepareCancelled, a}}, 0, 0, {}, {a}},
      {"a draw after a cancelled prepare renders", Natural::Keep, {{Step::PrepareCancelled, a}, {Step::Draw, a}}, 1, 0, {a}, {}},
      {"too large to keep: straight into the target each time", Natural::Keep,
       {{Step::Prepare, huge}, {Step::Draw, huge}, {Step::Draw, huge}}, 0, 2, {}, {huge}},
      {"natural size kept when drawn", Natural::Keep, {{Step::Draw, natural}, {Step::Draw, natural}}, 1, 0, {natural}, {}},
      {"natural size straight into the target unless prepared", Natural::KeepPrepared,
       {{Step::Draw, natural}, {Step::Draw, natural}}, 0, 2, {}, {natural}},
      {"natural size prepared, then copied", Natural::KeepPrepared,
       {{Step::Prepare, natural}, {Step::Draw, natural}, {Step::Draw, natural}}, 1, 0, {natural}, {}},
      {"natural size always straight into the target", Natural::DrawDirect,
       {{Step::Prepare, natural}, {Step::Draw, natural}, {Step::Draw, natural}}, 0, 2, {}, {natural}},
      {"scaled sizes kept whatever the natural-size rule", Natural::DrawDirect,
       {{Step::Prepare, a}, {Step::Draw, a}, {Step::Draw, b}, {Step::Draw, b}}, 2, 0, {a, b}, {}},
      {"a natural-size draw outside the target renders nothing", Natural::Keep,
       {{Step::Draw, {50, 0, 50 + kW, kH}}, {Step::Draw, {0, -kH, kW, 0}}}, 0, 0, {}, {natural}},
      {"a failed render draws black and keeps nothing", Natural::Keep,
       {{Step::Prepare, a}, {Step::Draw, a}, {Step::Draw, natural}, {Step::Draw, huge}}, 0, 0, {}, {a, natural}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CountingRaster raster(c.policy, kW, kH);
    raster.fails = c.fails;
    for (const Step& step : c.steps) {
      if (step.what == Step::Draw) {
        MemoryImage24 target(50, 40);
        target.Fill(kBackground);
        if (step.rect.Width() == kW && step.rect.Height() == kH)
          raster.Draw(target, step.rect.left, step.rect.top);
        else
          raster.StretchDraw(target, step.rect);
        ASSERT_TRUE(Same(target, Expected(step.rect, c.fails)));
      } else {
        const std::atomic<bool> cancel{step.what == Step::PrepareCancelled};
        EXPECT_EQ(raster.Prepare(step.rect.Width(), step.rect.Height(), &cancel), step.what == Step::Prepare && !c.fails);
      }
    }
    EXPECT_EQ(raster.rendered, c.rendered);
    EXPECT_EQ(raster.direct, c.direct);
    for (const Rect& r : c.kept) EXPECT_TRUE(raster.Keeps(r.Width(), r.Height())) << r.Width() << "x" << r.Height();
    for (const Rect& r : c.notKept) EXPECT_FALSE(raster.Keeps(r.Width(), r.Height())) << r.Width() << "x" << r.Height();
    raster.DropCache();
    for (const Rect& r : c.kept) EXPECT_FALSE(raster.Keeps(r.Width(), r.Height()));
  }
}

// A draw of the size being prepared on another thread waits for that render
// and copies its result.
TEST(ScaledRasterTest, ADrawDuringAPrepareOfItsSizeWaitsAndRendersNothing) {
  CountingRaster raster(Natural::Keep, kW, kH);
  raster.gated = true;
  std::thread worker([&] { raster.Prepare(20, 15); });
  raster.WaitInRender();
  MemoryImage24 target(50, 40);
  target.Fill(kBackground);
  std::thread drawer([&] { raster.StretchDraw(target, Rect{0, 0, 20, 15}); });
  raster.Release();
  worker.join();
  drawer.join();
  EXPECT_EQ(raster.rendered, 1);
  EXPECT_EQ(raster.Renders(), 1);
  EXPECT_TRUE(Same(target, Expected(Rect{0, 0, 20, 15})));
}

// Prepares (some cancelled) and drops on one thread, draws of the same and
// other sizes on two more: every draw shows the right pixels, and no more
// than four sizes stay kept.
TEST(ScaledRasterTest, ConcurrentPreparesAndDrawsAreSafe) {
  CountingRaster raster(Natural::Keep, kW, kH);
  const std::vector<Rect> sizes = {{0, 0, 20, 15}, {0, 0, 30, 20}, {-5, -5, 45, 30}, {3, 3, 13, 10}, {0, 0, 50, 40}};
  std::atomic<bool> wrong{false};
  std::atomic<bool> cancel{false};
  std::thread preparer([&] {
    for (int i = 0; i < 300; ++i) {
      cancel = i % 3 == 0;
      const Rect& r = sizes[std::size_t(i) % sizes.size()];
      raster.Prepare(r.Width(), r.Height(), &cancel);
      if (i % 50 == 0) raster.DropCache();
    }
  });
  auto drawer = [&](int offset) {
    MemoryImage24 target(50, 40);
    for (int i = 0; i < 300; ++i) {
      const Rect& r = sizes[std::size_t(i + offset) % sizes.size()];
      target.Fill(kBackground);
      raster.StretchDraw(target, r);
      if (!Same(target, Expected(r))) wrong = true;
    }
  };
  std::thread first(drawer, 0), second(drawer, 2);
  preparer.join();
  first.join();
  second.join();
  EXPECT_FALSE(wrong);
  std::size_t kept = 0;
  for (const Rect& r : sizes) kept += raster.Keeps(r.Width(), r.Height()) ? 1 : 0;
  EXPECT_LE(kept, ScaledRaster::kKeptSizes);
}

}  // namespace
}  // namespace velmora
