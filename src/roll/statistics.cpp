#include "roll/statistics.h"

#include <cstdint>
#include <limits>
#include <string>

#include "roll/result_grid.h"
#include "runtime/conversions.h"

namespace tambrel {
namespace {

// At most 32766 labels of at most 32768 in magnitude: the total cannot leave
// 32 bits, whatever was drawn.
static_assert(std::int64_t{kLastResultLabel} * 32768 <= std::numeric_limits<std::int32_t>::max());

std::string WithNumber(std::string_view prompt, std::int32_t number) {
  std::string text(prompt);
  text += IntToText(number);
  return text;
}

}  // namespace

std::int32_t TotalOfResults(const LabelArray& labels) {
  // Captions are this program's own integers; a hidden label left by a
  // failed placement has an empty caption and adds nothing.
  double total = 0;
  for (int i = 1; i < labels.Count(); ++i) total += TextToDouble(labels[i].caption);
  return RoundToInt32(total).value_or(0);
}

std::int32_t RoundedAverage(std::int32_t total, std::int32_t count) {
  return RoundToInt32(static_cast<double>(total) / count).value_or(0);
}

void ReportSum(const GridFields& fields, const LabelArray& labels, Services& services) {
  if (fields.intNextLabel <= 1) {
    services.MsgBox(kNoNumbersPrompt, MsgStyle::Information, kSumTitle);
    return;
  }
  services.MsgBox(WithNumber("The Sum is: ", TotalOfResults(labels)), MsgStyle::Information,
                  kAppTitle);
}

void ReportAverage(const GridFields& fields, const LabelArray& labels, Services& services) {
  if (fields.intNextLabel <= 1) {
    services.MsgBox(kNoNumbersPrompt, MsgStyle::Information, kAverageTitle);
    return;
  }
  // Divided by the values shown, not by the loaded labels: a hidden label
  // left by a full grid holds no value.
  const std::int32_t shown = fields.intNextLabel - 1;
  services.MsgBox(WithNumber("The Average is: ", RoundedAverage(TotalOfResults(labels), shown)),
                  MsgStyle::Information, kAppTitle);
}

}  // namespace tambrel
