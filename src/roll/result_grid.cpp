#include "roll/result_grid.h"

#include "runtime/checked.h"
#include "runtime/conversions.h"

namespace tambrel {

bool ResultGrid::PlaceResult(std::int16_t value) {
  const int k = fields_.intNextLabel;
  if (k < 1 || k > kLastResultLabel) return false;
  // A label left hidden by a failed placement is taken up again rather than
  // loaded twice.
  if (!labels_.IsLoaded(k) && !labels_.Load(k)) return false;

  const auto column = CheckedAdd<std::int16_t>(fields_.intColumn, 1);
  if (!column) return false;
  fields_.intColumn = *column;

  const float height = labels_[k].height;
  labels_.SetTop(k, static_cast<float>(fields_.intRow) * height + kFirstRowOffset);
  // The row test compares what the label reports, before it is shown.
  if (!(labels_[k].top < fields_.sngBottomLimit)) return false;

  // 32-bit, so that columns past 65 on a very wide window lay out normally.
  labels_.SetLeft(k, static_cast<float>(std::int32_t{fields_.intColumn} * kColumnPitch));
  // The right-hand test only decides where the next label goes: this one
  // stays where it is and closes its row.
  if (!(labels_[k].left < fields_.sngRightLimit)) {
    fields_.intColumn = 0;
    // Rows past 32767 would lie millions of twips down, below any window
    // the platform can make, so they never reach this point.
    fields_.intRow = CheckedAdd<std::int16_t>(fields_.intRow, 1).value_or(fields_.intRow);
  }

  labels_.SetCaption(k, IntToText(value));
  labels_.SetVisible(k, true);
  return true;
}

void ResultGrid::ClearResults() {
  const int count = labels_.Count();
  for (int i = 1; i < count; ++i) labels_.Unload(i);
  fields_.intColumn = 0;
  fields_.intRow = 1;
  fields_.intNextLabel = 1;
}

}  // namespace tambrel
