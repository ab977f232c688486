#pragma once

#include <cstdint>

namespace tambrel {

// The window's fields that the roll engine keeps between events. All start
// at zero; the window's Load sets the counters for an empty grid.
struct GridFields {
  std::int16_t intColumn = 0;    // column of the last label in the current row; 0 = row empty
  std::int16_t intRow = 0;       // current row, from 1
  std::int16_t intNextLabel = 0; // index of the next result label; 1 = grid empty
  float sngRightLimit = 0;       // client width - 1000 twips
  float sngBottomLimit = 0;      // client height - 500 twips
};

}  // namespace tambrel
