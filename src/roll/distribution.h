#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "roll/tally.h"

namespace tambrel {

// Up to this width a range gets a bar per value (d4 to d100); a wider one
// is grouped into at most kMostGroupedBars bars of equal width, the last
// holding what is left over.
inline constexpr std::int32_t kMostSingleValueBars = 100;
inline constexpr std::int32_t kMostGroupedBars = 50;
// The chi-square test is judged only where a fair die would give every bar
// at least this many values.
inline constexpr double kFewestExpectedPerBar = 5.0;
inline constexpr double kUnusualBelow = 0.01;

struct Bar {
  std::int32_t first = 0;
  std::int32_t last = 0;
  std::uint64_t count = 0;
  // What a fair die gives this bar from the same number of values.
  double expected = 0;
};

struct ChiSquare {
  double statistic = 0;
  std::int32_t degreesOfFreedom = 0;
  double pValue = 1;
};

enum class Verdict { TooFewToJudge, ConsistentWithFair, UnusualForFair };

// The values that came up most (or least) often, the first few of them in
// ascending order, and how many values share that count in all.
struct CommonValues {
  std::uint64_t count = 0;
  std::vector<std::int32_t> first;
  std::int64_t sharing = 0;
};
inline constexpr std::size_t kCommonValuesNamed = 3;

struct Distribution {
  ValueRange range;
  std::uint64_t total = 0;
  std::vector<Bar> bars;
  // The mean of the values counted and the mean a fair die has.
  std::optional<double> mean;
  double fairMean = 0;
  std::optional<CommonValues> mostCommon;
  std::optional<CommonValues> leastCommon;
  // Present whenever there is a value to judge; the verdict says whether
  // there are enough.
  std::optional<ChiSquare> test;
  Verdict verdict = Verdict::TooFewToJudge;
};

[[nodiscard]] Distribution Describe(const Tally& tally, ValueRange range);

// The test as the windows state it under their verdict: "Chi-square 10.63
// with 10 degrees of freedom, p = 0.387" ("p < 0.001" below that).
[[nodiscard]] std::string TestText(const ChiSquare& test);

// The chance that a fair die gives a statistic at least this large.
[[nodiscard]] double ChiSquareUpperTail(double statistic, std::int32_t degreesOfFreedom);

}  // namespace tambrel
