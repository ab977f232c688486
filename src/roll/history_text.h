#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/history_store.h"

namespace tambrel {

// What the History window, its copy and its file say of a run. Times are
// read in the local time zone.

// The columns of the History window's table, of its copy and of its CSV.
inline constexpr std::array<std::string_view, 7> kHistoryColumns = {
    "Time", "Expression", "Sides", "Values", "Sum", "Average", "Results"};

// "14:02:05" for a run of the same day as `nowMs`, "7 Dec 2026 14:02:05"
// for an earlier one.
[[nodiscard]] std::string TimeCell(std::int64_t ms, std::int64_t nowMs);
// "8 Dec 2026 14:02": since when a range has been counted.
[[nodiscard]] std::string DayAndMinute(std::int64_t ms);
// "2026-12-08T14:02:05+01:00".
[[nodiscard]] std::string IsoTime(std::int64_t ms);

// What was rolled: a run's form, "12d20" (its values, "d", its sides); a
// Dice roll's expression, "1000×2d6" for a batch.
[[nodiscard]] std::string ExpressionCell(const StoredRun& run);
// The sides of a run; empty for a Dice roll, which has none.
[[nodiscard]] std::string SidesCell(const StoredRun& run);
// The mean of a run's values, with two decimals.
[[nodiscard]] std::string AverageCell(const StoredRun& run);
// The first values of a run, then how many more follow: "4, 17, 2, and 9
// more". `run.values` may hold just those first values. A Dice roll's
// breakdown, or its first totals, as it keeps them.
[[nodiscard]] std::string ResultsCell(const StoredRun& run);

// Whole runs as tab-separated text: a header row, then a row per run with
// all of its values.
[[nodiscard]] std::string CopyText(const std::vector<StoredRun>& runs);

// A CSV file (RFC 4180): the header row, then a row per whole run, with
// the time in ISO 8601 and the values space-separated in one field; a
// field with a comma, a quote or a line break (a Dice roll's breakdown) is
// quoted.
[[nodiscard]] std::string CsvHeader();
[[nodiscard]] std::string CsvRow(const StoredRun& run);

}  // namespace tambrel
