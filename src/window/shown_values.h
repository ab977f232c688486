#pragma once

#include <string>
#include <vector>

#include "runtime/label_array.h"

namespace tambrel {

// The values on show, row by row as the grid lays them out: the indices of
// the visible result labels, grouped by the top they share, in label order.
// A label left hidden by a placement that did not fit is not among them.
using ShownRows = std::vector<std::vector<int>>;
[[nodiscard]] ShownRows RowsOfShownValues(const LabelArray& labels);

[[nodiscard]] int CountOf(const ShownRows& rows);

// What a screen reader says after a run: the count, then the values in grid
// order, "3 values: 4, 17, 2". Past the first kSpokenValues only how many
// more follow, so that a full grid is one short utterance.
inline constexpr int kSpokenValues = 20;
[[nodiscard]] std::string SpokenValues(const LabelArray& labels, const ShownRows& rows);

// The values as plain text for the clipboard: a line per grid row, a tab
// between values, so that a spreadsheet keeps the grid and a chat shows the
// numbers.
[[nodiscard]] std::string ValuesAsText(const LabelArray& labels, const ShownRows& rows);

// "1 value", "3 values".
[[nodiscard]] std::string CountOfValues(int count);

}  // namespace tambrel
