#pragma once

#include <cstdint>

#include "roll/grid_fields.h"
#include "runtime/label_array.h"

namespace tambrel {

// Layout of the result labels below the separator line, in twips.
inline constexpr float kFirstRowOffset = 2600;
inline constexpr std::int32_t kColumnPitch = 500;
// Result labels are elements 1..32766 of the label array, so that the
// index of the next label always fits the 16-bit counter.
inline constexpr std::int16_t kLastResultLabel = 32766;

// Places drawn values row by row within the window's display limits.
class ResultGrid {
 public:
  ResultGrid(GridFields& fields, LabelArray& labels) : fields_(fields), labels_(labels) {}

  // Creates element intNextLabel, places and shows it with the value as its
  // caption, and returns true; or returns false when the next place lies at
  // or below the bottom limit (the element then stays loaded and hidden) or
  // the grid already holds its last possible label. The caller advances
  // intNextLabel after a true result.
  bool PlaceResult(std::int16_t value);

  // Removes every result label and starts an empty grid.
  void ClearResults();

 private:
  GridFields& fields_;
  LabelArray& labels_;
};

}  // namespace tambrel
