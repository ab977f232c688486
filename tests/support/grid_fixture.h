#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "roll/result_grid.h"

namespace tambrel::testing {

// An empty result grid within the limits of the design's client area
// (5280 x 3600 twips), labels copied from the design's template.
class GridTest : public ::testing::Test {
 protected:
  GridTest() {
    fields_.intRow = 1;
    fields_.intNextLabel = 1;
    SetLimits(4280, 3100);
  }

  void SetLimits(float right, float bottom) {
    fields_.sngRightLimit = right;
    fields_.sngBottomLimit = bottom;
  }

  // Places a value as a roll run does, advancing the counter on success.
  bool Place(std::int16_t value) {
    const bool fits = grid_.PlaceResult(value);
    if (fits) ++fields_.intNextLabel;
    return fits;
  }

  [[nodiscard]] int Shown() const { return fields_.intNextLabel - 1; }

  GridFields fields_;
  LabelArray labels_{Label{60, 2640, 450, 300, false, ""}};
  ResultGrid grid_{fields_, labels_};
};

}  // namespace tambrel::testing
