#pragma once

#include <cstdint>
#include <string_view>

#include "roll/grid_fields.h"
#include "runtime/label_array.h"
#include "runtime/services.h"

namespace tambrel {

inline constexpr std::string_view kNoNumbersPrompt = "No numbers have been generated";
inline constexpr std::string_view kSumTitle = "Sum";
inline constexpr std::string_view kAverageTitle = "Rounded Average";

// The total of the values shown, read back from the captions of the result
// labels: the grid is the record of what was drawn.
[[nodiscard]] std::int32_t TotalOfResults(const LabelArray& labels);

// The mean of the values shown, rounded to nearest with ties to even.
[[nodiscard]] std::int32_t RoundedAverage(std::int32_t total, std::int32_t count);

// "Sum" and "Avg": report in a message box.
void ReportSum(const GridFields& fields, const LabelArray& labels, Services& services);
void ReportAverage(const GridFields& fields, const LabelArray& labels, Services& services);

}  // namespace tambrel
