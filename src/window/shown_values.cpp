#include "window/shown_values.h"

#include <cstdio>

namespace tambrel {

ShownRows RowsOfShownValues(const LabelArray& labels) {
  ShownRows rows;
  float rowTop = 0;
  for (int i = 1; i < labels.Count(); ++i) {
    if (!labels.IsLoaded(i) || !labels[i].visible) continue;
    // Labels are placed in order, row after row, so a new top starts a row.
    if (rows.empty() || labels[i].top != rowTop) {
      rows.emplace_back();
      rowTop = labels[i].top;
    }
    rows.back().push_back(i);
  }
  return rows;
}

int CountOf(const ShownRows& rows) {
  std::size_t count = 0;
  for (const auto& row : rows) count += row.size();
  return static_cast<int>(count);
}

std::string CountOfValues(int count) {
  return std::to_string(count) + (count == 1 ? " value" : " values");
}

std::string SpokenValues(const LabelArray& labels, const ShownRows& rows) {
  const int count = CountOf(rows);
  std::string spoken = CountOfValues(count) + ":";
  int said = 0;
  for (const auto& row : rows) {
    for (const int label : row) {
      if (said == kSpokenValues) break;
      spoken += (said == 0 ? " " : ", ") + labels[label].caption;
      ++said;
    }
  }
  if (count > said) {
    // One format kept whole in the binary, rather than short pieces the
    // compiler would fold into instructions.
    char more[32];
    std::snprintf(more, sizeof more, ", and %d more", count - said);
    spoken += more;
  }
  return spoken;
}

std::string ValuesAsText(const LabelArray& labels, const ShownRows& rows) {
  std::string text;
  for (const auto& row : rows) {
    if (!text.empty()) text += '\n';
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i > 0) text += '\t';
      text += labels[row[i]].caption;
    }
  }
  return text;
}

}  // namespace tambrel
