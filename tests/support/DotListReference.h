// A straightforward per-pixel reading of the dissolve order (block order,
// shuffle, expansion into a list of pixels), the oracle of the dot-order and
// dissolve tests.
#pragma once

#include <utility>
#include <vector>

#include "fade/FadeTypes.h"

namespace velmora::testing {

using Pixel = std::pair<int, int>;  // (row, column)

std::vector<Pixel> ReferenceDotList(int w, int h, int d, TDirection dir, TAction action, int g);

}  // namespace velmora::testing
