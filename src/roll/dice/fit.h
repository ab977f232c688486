#pragma once

// Whether the totals rolled look like the exact odds: Pearson's chi-square
// test, with the same verdicts as the Distribution window's.

#include <cstdint>
#include <map>

#include "roll/dice/odds.h"
#include "roll/distribution.h"

namespace tambrel::dice {

struct Fit {
  // Neighbouring totals merged, from the tails in, until each bin expects
  // at least kFewestExpectedPerBar rolls.
  std::int32_t bins = 0;
  ChiSquare test;   // statistic, degrees of freedom (bins - 1), p from Boost.Math
  Verdict verdict = Verdict::TooFewToJudge;   // TooFewToJudge when fewer than two bins
};

// `observed` counts how often each total came up. A total the odds say
// cannot come up makes the statistic infinite and the verdict unusual.
[[nodiscard]] Fit TestAgainstOdds(const Odds& odds,
                                  const std::map<std::int64_t, std::uint64_t>& observed);

}  // namespace tambrel::dice
