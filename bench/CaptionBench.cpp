// What drawing one caption costs on the prefetch worker, per monitor: the
// fitted picture copied into a drawing of its own, the halo and the text
// stamped on it (a date and folder of 16 characters at 3 % of the height),
// the picture's own kept drawing given up. The text's shaping is the
// platform's and is left out (a synthetic mask of the same size stands in).
// The picture fills the screen and is prepared at its size, as the worker
// leaves it before the caption.
//   build/bench/bench/velmora_bench --benchmark_filter=BM_DrawCaption
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "BenchSizes.h"
#include "SyntheticCaption.h"
#include "fade/Graphics.h"
#include "saver/Caption.h"

namespace velmora::bench {
namespace {

// A picture already drawn at the screen's size: drawing it is one copy.
class ReadyPicture final : public Graphic {
 public:
  ReadyPicture(int width, int height) : image_(width, height) { image_.Fill(0x406080); }
  GraphicKind Kind() const override { return GraphicKind::Raster; }
  int Width() const override { return image_.Width(); }
  int Height() const override { return image_.Height(); }
  void Draw(Image24& target, int x, int y) const override { target.Draw(image_, x, y); }
  void StretchDraw(Image24& target, const Rect& rect) const override { target.Draw(image_, rect.left, rect.top); }

 private:
  MemoryImage24 image_;
};

void BM_DrawCaption(benchmark::State& state) {
  const int width = int(state.range(0)), height = int(state.range(1));
  const auto picture = std::make_shared<ReadyPicture>(width, height);
  const std::vector<PictureWorker::DrawnSize> sizes = {{width, height}};
  const std::wstring text = L"2024年5月3日 · 京都的秋天";
  int sequence = 0;
  for (auto _ : state) {
    std::shared_ptr<const Graphic> captioned = CaptionPicture(picture, text, sequence++, sizes, &SyntheticCaption);
    benchmark::DoNotOptimize(captioned.get());
  }
  const CaptionMask mask = SyntheticCaption(text, CaptionTextHeight(height));
  state.counters["text_px"] = double(mask.width) * mask.height;
}

BENCHMARK(BM_DrawCaption)->Apply(FrameSizes);

}  // namespace
}  // namespace velmora::bench
