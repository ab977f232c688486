#pragma once

// The exact chance of every total an expression can give. Pure functions
// over an immutable Expression: run them on any thread. An expression too
// large to work out is refused by an estimate before any work starts, so
// a call never takes much longer than kOddsBudgetMilliseconds.

#include <cstdint>
#include <map>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "roll/dice/expression.h"

namespace tambrel::dice {

inline constexpr std::string_view kTooLargeToWorkOut = "Too large to work out exactly";
inline constexpr std::int64_t kMostTotals = 1000000;     // distinct totals of any part
inline constexpr double kOddsBudgetMilliseconds = 100;   // what the estimate allows
// Exploding dice are followed until what is left of a term is below this.
inline constexpr double kExplosionCutOff = 1e-12;

// One possible total: its chance, and that of it or more, it or less.
struct Chance {
  std::int64_t total = 0;
  double chance = 0;
  double atLeast = 0;
  double atMost = 0;
};

// The odds of one total of the expression (of each repeat, for "Nx").
struct Odds {
  // Every total whose chance a double can hold (above 1e-308), ascending.
  std::vector<Chance> totals;
  double mean = 0;
  double standardDeviation = 0;
  // The smallest and largest totals the table covers. Totals whose chance
  // is below what a double holds (1000d6 coming to 1000) are possible yet
  // absent from `totals`; and when `truncated`, larger totals than
  // `highest` are possible.
  std::int64_t lowest = 0;
  std::int64_t highest = 0;
  // Exploding dice were followed until less than kExplosionCutOff was left
  // in each term; the rest is not in the table.
  bool truncated = false;

  // The row of a total, or none when it cannot come up.
  [[nodiscard]] const Chance* Find(std::int64_t total) const;
};

// Decided before any work: false when the odds would take too long or have
// more than kMostTotals totals. Microseconds, for the window's own thread.
[[nodiscard]] bool OddsWithinReach(const Expression& expression);

// The exact odds, or none when not within reach or when `stop` was asked
// for on the way (checked between the steps of the work).
[[nodiscard]] std::optional<Odds> ExactOdds(const Expression& expression,
                                            std::stop_token stop = {});

// "Copy Odds": a header "Total\tChance\tAt least\tAt most", then a row per
// total, percentages to at least four significant digits ("16.67%"), each
// line ending in '\n'. With `observed`, a last column "Observed" has how
// often each total came up.
[[nodiscard]] std::string OddsTableText(
    const Odds& odds, const std::map<std::int64_t, std::uint64_t>* observed = nullptr);

// A percentage to at least four significant digits: "16.67%", "0.4630%",
// "100.0%", "1.235e-08%".
[[nodiscard]] std::string PercentText(double chance);

}  // namespace tambrel::dice
