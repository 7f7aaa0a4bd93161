#include "saver/PictureWorker.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fade/MorfFade.h"
#include "platform/PictureLoaderWin32.h"
#include "platform/WicGraphicWin32.h"
#include "support/WicPicturesWin32.h"

namespace velmora {
namespace {

std::vector<std::uint8_t> BytesOf(const Image24& image) { return {image.Bits(), image.Bits() + image.ByteSize()}; }

// A show on two monitors: the worker loads the coming PNG once and prepares
// it at both monitors' fit sizes; drawing it on both then copies what was
// prepared (no decode), with the pixels of the picture drawn on the spot.
TEST(PictureWorkerWin32Test, APngPreparedForTwoMonitorsIsNotDecodedAgainWhenDrawnOnBoth) {
  InstallWin32Graphics();
  testing::BgraFrame gradient{120, 90, {}};
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 120; ++x)
      gradient.pixels.insert(gradient.pixels.end(), {std::uint8_t(x * 2), std::uint8_t(y * 3), std::uint8_t(x ^ y), 255});
  const std::string path = testing::WriteTempFile("velmora-worker-two-monitors.png", testing::EncodePng(gradient));
  const std::vector<PictureWorker::DrawnSize> monitors = {{64, 36}, {30, 40}};

  PictureWorker worker;
  worker.Start(path, monitors);
  const std::optional<std::shared_ptr<const Graphic>> taken = worker.Take(path);
  ASSERT_TRUE(taken.has_value() && *taken != nullptr);
  const auto* picture = dynamic_cast<const WicGraphic*>(taken->get());
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->Renders(), 2);  // one decode for each monitor's size

  const auto onTheSpot = WicGraphic::FromFile(path);
  for (const PictureWorker::DrawnSize& monitor : monitors) {
    SCOPED_TRACE(std::to_string(monitor.width) + "x" + std::to_string(monitor.height));
    const Rect fit = FitRect(picture->Width(), picture->Height(), monitor.width, monitor.height);
    EXPECT_TRUE(picture->Keeps(fit.Width(), fit.Height()));
    MemoryImage24 ahead(monitor.width, monitor.height), spot(monitor.width, monitor.height);
    picture->StretchDraw(ahead, fit);
    onTheSpot->StretchDraw(spot, fit);
    EXPECT_EQ(BytesOf(ahead), BytesOf(spot));
  }
  EXPECT_EQ(picture->Renders(), 2);
  ::DeleteFileA(path.c_str());
}

}  // namespace
}  // namespace velmora
