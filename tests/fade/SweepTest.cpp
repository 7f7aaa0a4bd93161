// The sweep geometry against values worked out by hand from the step rules:
// x(i) = trunc(i * dx), y(i) = trunc(i * dy), dx = w / steps and
// dy = h / steps in single precision, differences truncated at the end.
//   100 / 30 = 3.3333332538604736f: 30 * dx = 99.9999976, so x(30) = 99
//   800 / 30 = 26.666666030883789f: 30 * dx = 799.99998, x(30) = 799
//   100 / 4 = 25, 50 / 4 = 12.5, 50 / 3 = 16.666666030883789f
#include "fade/Sweep.h"

#include <gtest/gtest.h>

namespace velmora {

// For failure messages (found by argument-dependent lookup).
void PrintTo(const SweepCopy& c, std::ostream* os) {
  *os << "source " << int(c.source) << " dst {" << c.dst.left << "," << c.dst.top << "," << c.dst.right
      << "," << c.dst.bottom << "} src (" << c.srcX << "," << c.srcY << ")";
}

namespace {

using A = TAction;
using D = TDirection;
using S = SweepSource;

struct StepCase {
  A action;
  D direction;
  int w, h, steps, i;
  SweepCopy copy;
};

const StepCase kStretch[] = {
    // One axis from an edge.
    {A::Stretch, D::FromLeft, 100, 10, 30, 1, {S::ToImageScaled, {0, 0, 3, 10}}},
    {A::Stretch, D::FromLeft, 100, 10, 30, 30, {S::ToImageScaled, {0, 0, 99, 10}}},  // one column short
    {A::Stretch, D::FromRight, 100, 10, 30, 30, {S::ToImageScaled, {0, 0, 100, 10}}},  // 100 - 99.9999976
    {A::Stretch, D::FromLeft, 640, 4, 30, 30, {S::ToImageScaled, {0, 0, 640, 4}}},
    {A::Stretch, D::FromLeft, 75, 4, 30, 30, {S::ToImageScaled, {0, 0, 75, 4}}},  // dx = 2.5
    {A::Stretch, D::FromLeft, 800, 4, 30, 30, {S::ToImageScaled, {0, 0, 799, 4}}},
    {A::Stretch, D::FromRight, 800, 4, 30, 30, {S::ToImageScaled, {0, 0, 800, 4}}},
    {A::Stretch, D::FromTop, 100, 50, 4, 1, {S::ToImageScaled, {0, 0, 100, 12}}},
    {A::Stretch, D::FromBottom, 100, 50, 4, 3, {S::ToImageScaled, {0, 12, 100, 50}}},  // 50 - 37.5
    {A::Stretch, D::FromBottom, 100, 50, 3, 1, {S::ToImageScaled, {0, 33, 100, 50}}},  // 50 - 16.67
    // Corners: both axes.
    {A::Stretch, D::FromTopLeft, 100, 50, 4, 1, {S::ToImageScaled, {0, 0, 25, 12}}},
    {A::Stretch, D::FromTopLeft, 100, 50, 4, 3, {S::ToImageScaled, {0, 0, 75, 37}}},
    {A::Stretch, D::FromBottomRight, 100, 50, 4, 1, {S::ToImageScaled, {75, 37, 100, 50}}},
    {A::Stretch, D::FromTopRight, 100, 50, 4, 2, {S::ToImageScaled, {50, 0, 100, 25}}},
    {A::Stretch, D::FromBottomLeft, 100, 50, 4, 2, {S::ToImageScaled, {0, 25, 50, 50}}},
    // From the centre: left = trunc((w - i dx) / 2), right = x(i) + left.
    {A::Stretch, D::XcenterOut, 100, 50, 4, 1, {S::ToImageScaled, {37, 0, 62, 50}}},  // 75 / 2 = 37.5
    {A::Stretch, D::YcenterOut, 100, 50, 4, 1, {S::ToImageScaled, {0, 18, 100, 30}}},  // 37.5 / 2 = 18.75
    {A::Stretch, D::ZoomOut, 100, 50, 4, 1, {S::ToImageScaled, {37, 18, 62, 30}}},
    {A::Stretch, D::ZoomOut, 100, 50, 4, 3, {S::ToImageScaled, {12, 6, 87, 43}}},  // 12.5, 6.25
    {A::Stretch, D::ZoomOut, 100, 100, 2, 1, {S::ToImageScaled, {25, 25, 75, 75}}},
    {A::Stretch, D::ZoomOut, 100, 100, 2, 2, {S::ToImageScaled, {0, 0, 100, 100}}},
    // Directions without a rule: the whole picture at every step.
    {A::Stretch, D::XcenterIn, 100, 50, 4, 1, {S::ToImageScaled, {0, 0, 100, 50}}},
    {A::Stretch, D::YcenterIn, 100, 50, 4, 1, {S::ToImageScaled, {0, 0, 100, 50}}},
    {A::Stretch, D::ZoomIn, 100, 50, 4, 1, {S::ToImageScaled, {0, 0, 100, 50}}},
    {A::Stretch, D::Vertical, 100, 50, 4, 1, {S::ToImageScaled, {0, 0, 100, 50}}},
    {A::Stretch, D::Horizontal, 100, 50, 4, 1, {S::ToImageScaled, {0, 0, 100, 50}}},
    {A::Stretch, D::None, 100, 50, 4, 1, {S::ToImageScaled, {0, 0, 100, 50}}},
    // No pixels across: dx = 0, an empty rectangle.
    {A::Stretch, D::FromRight, 0, 30, 5, 1, {S::ToImageScaled, {0, 0, 0, 30}}},
};

const StepCase kPush[] = {
    // The whole component from the composite, at the window's origin.
    {A::Push, D::FromLeft, 100, 50, 4, 1, {S::WorkImage, {0, 0, 100, 50}, 75, 0}},
    {A::Push, D::FromRight, 100, 50, 4, 1, {S::WorkImage, {0, 0, 100, 50}, 25, 0}},
    {A::Push, D::FromTop, 100, 50, 4, 1, {S::WorkImage, {0, 0, 100, 50}, 0, 38}},
    {A::Push, D::FromBottom, 100, 50, 4, 3, {S::WorkImage, {0, 0, 100, 50}, 0, 37}},
    // One step: exactly the To half of the composite.
    {A::Push, D::FromLeft, 100, 50, 1, 1, {S::WorkImage, {0, 0, 100, 50}, 0, 0}},
    {A::Push, D::FromTop, 100, 50, 1, 1, {S::WorkImage, {0, 0, 100, 50}, 0, 0}},
    {A::Push, D::FromRight, 100, 50, 1, 1, {S::WorkImage, {0, 0, 100, 50}, 100, 0}},
    {A::Push, D::FromBottom, 100, 50, 1, 1, {S::WorkImage, {0, 0, 100, 50}, 0, 50}},
    // Other directions draw nothing.
    {A::Push, D::FromTopLeft, 100, 50, 4, 1, {}},
    {A::Push, D::XcenterOut, 100, 50, 4, 1, {}},
    {A::Push, D::ZoomIn, 100, 50, 4, 1, {}},
};

const StepCase kSlide[] = {
    // dst x, width and src x from the horizontal rule, y from the vertical.
    {A::Slide, D::FromLeft, 100, 50, 4, 1, {S::ToImage, {0, 0, 25, 50}, 75, 0}},
    {A::Slide, D::FromLeft, 50, 20, 4, 1, {S::ToImage, {0, 0, 12, 20}, 38, 0}},  // 12.5
    {A::Slide, D::FromRight, 100, 50, 4, 1, {S::ToImage, {75, 0, 100, 50}, 0, 0}},
    {A::Slide, D::FromTop, 100, 50, 4, 1, {S::ToImage, {0, 0, 100, 12}, 0, 38}},
    {A::Slide, D::FromBottom, 100, 50, 4, 1, {S::ToImage, {0, 38, 100, 50}, 0, 0}},
    {A::Slide, D::FromTopLeft, 100, 50, 4, 3, {S::ToImage, {0, 0, 75, 37}, 25, 13}},
    {A::Slide, D::FromBottomRight, 100, 50, 4, 1, {S::ToImage, {75, 38, 100, 50}, 0, 0}},
    {A::Slide, D::FromTopRight, 100, 50, 4, 2, {S::ToImage, {50, 0, 100, 25}, 0, 25}},
    {A::Slide, D::FromBottomLeft, 100, 50, 4, 2, {S::ToImage, {0, 25, 50, 50}, 50, 0}},
    {A::Slide, D::FromLeft, 100, 10, 30, 30, {S::ToImage, {0, 0, 99, 10}, 1, 0}},
    // From XcenterOut on: the whole To picture from the first step.
    {A::Slide, D::XcenterOut, 100, 50, 4, 1, {S::ToImage, {0, 0, 100, 50}, 0, 0}},
    {A::Slide, D::ZoomIn, 100, 50, 4, 1, {S::ToImage, {0, 0, 100, 50}, 0, 0}},
    {A::Slide, D::None, 100, 50, 4, 1, {S::ToImage, {0, 0, 100, 50}, 0, 0}},
};

const StepCase kNotGeometric[] = {
    {A::xDissolve, D::FromLeft, 100, 50, 4, 1, {}},
    {A::xBlend, D::FromLeft, 100, 50, 4, 1, {}},
    {A::Discover, D::ZoomOut, 100, 50, 4, 1, {}},
    {A::Any, D::FromTop, 100, 50, 4, 1, {}},
};

void ExpectTable(const StepCase* begin, const StepCase* end) {
  for (const StepCase* c = begin; c != end; ++c) {
    const SweepGeometry g = MakeSweepGeometry(c->w, c->h, c->steps);
    EXPECT_EQ(SweepStepCopy(c->action, c->direction, g, c->i), c->copy)
        << "case " << (c - begin) << ": action " << int(c->action) << " direction " << int(c->direction)
        << " " << c->w << "x" << c->h << " step " << c->i << "/" << c->steps;
  }
}

TEST(SweepTest, StretchRectangles) { ExpectTable(std::begin(kStretch), std::end(kStretch)); }
TEST(SweepTest, PushSources) { ExpectTable(std::begin(kPush), std::end(kPush)); }
TEST(SweepTest, SlideBlocks) { ExpectTable(std::begin(kSlide), std::end(kSlide)); }
TEST(SweepTest, OtherActionsDrawNothing) { ExpectTable(std::begin(kNotGeometric), std::end(kNotGeometric)); }

TEST(SweepTest, StepSizesAreSinglePrecision) {
  const SweepGeometry g = MakeSweepGeometry(100, 10, 30);
  EXPECT_EQ(g.w, 100);
  EXPECT_EQ(g.h, 10);
  EXPECT_EQ(double(g.dx), 3.3333332538604736);
  EXPECT_EQ(double(g.dy), 0.3333333432674408);  // 1/3 in single precision
  EXPECT_EQ(double(MakeSweepGeometry(800, 4, 30).dx), 26.666666030883789);
}

TEST(SweepTest, PushCompositePlacesTheToImageAtTheEnteringEdge) {
  const struct {
    D direction;
    PushComposite expected;
  } cases[] = {
      {D::FromLeft, {true, 0, 0, 100, 0}},   {D::FromRight, {true, 100, 0, 0, 0}},
      {D::FromTop, {true, 0, 0, 0, 50}},     {D::FromBottom, {true, 0, 50, 0, 0}},
      {D::FromTopLeft, {}},                  {D::ZoomOut, {}},
      {D::None, {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PushCompositeFor(c.direction, 100, 50), c.expected) << int(c.direction);
}

}  // namespace
}  // namespace velmora
