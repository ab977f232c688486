#include "roll/distribution.h"

#include <algorithm>
#include <cstdio>
#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/policies/policy.hpp>

namespace tambrel {
namespace {

// Errors are reported in the result, never thrown: a verdict is not worth
// a crash.
using NoThrow = boost::math::policies::policy<
    boost::math::policies::domain_error<boost::math::policies::ignore_error>,
    boost::math::policies::overflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::evaluation_error<boost::math::policies::ignore_error>>;

std::int32_t BarWidth(std::int32_t width) {
  if (width <= kMostSingleValueBars) return 1;
  return (width + kMostGroupedBars - 1) / kMostGroupedBars;
}

std::vector<Bar> CountIntoBars(ValueRange range, std::uint64_t total, const Tally::Counts& counts) {
  const std::int32_t barWidth = BarWidth(range.Width());
  std::vector<Bar> bars;
  for (std::int32_t first = range.lowest; first <= range.highest; first += barWidth) {
    const std::int32_t last = std::min(first + barWidth - 1, range.highest);
    const double share = static_cast<double>(last - first + 1) / range.Width();
    bars.push_back({first, last, 0, static_cast<double>(total) * share});
  }
  for (const auto& [value, count] : counts) {
    bars[static_cast<std::size_t>((value - range.lowest) / barWidth)].count += count;
  }
  return bars;
}

// The values drawn exactly `count` times: the smallest few, and how many.
// One pass, no sorting of the whole tally.
CommonValues DrawnTimes(const Tally::Counts& counts, std::uint64_t count) {
  CommonValues common{count, {}, 0};
  for (const auto& [value, times] : counts) {
    if (times != count) continue;
    ++common.sharing;
    auto& first = common.first;
    if (first.size() < kCommonValuesNamed) {
      first.insert(std::ranges::upper_bound(first, value), value);
    } else if (value < first.back()) {
      first.pop_back();
      first.insert(std::ranges::upper_bound(first, value), value);
    }
  }
  return common;
}

CommonValues LeastCommon(ValueRange range, const Tally::Counts& counts) {
  if (counts.size() == static_cast<std::size_t>(range.Width())) {
    std::uint64_t least = counts.begin()->second;
    for (const auto& [value, count] : counts) least = std::min(least, count);
    return DrawnTimes(counts, least);
  }
  // Some values never came up: they are the least common.
  CommonValues never{0, {}, range.Width() - static_cast<std::int64_t>(counts.size())};
  for (std::int32_t value = range.lowest;
       value <= range.highest && never.first.size() < kCommonValuesNamed; ++value) {
    if (!counts.contains(value)) never.first.push_back(value);
  }
  return never;
}

ChiSquare TestAgainstFair(const std::vector<Bar>& bars) {
  ChiSquare test;
  test.degreesOfFreedom = static_cast<std::int32_t>(bars.size()) - 1;
  for (const Bar& bar : bars) {
    const double difference = static_cast<double>(bar.count) - bar.expected;
    test.statistic += difference * difference / bar.expected;
  }
  // A range of one value can only come up as that value: nothing to test.
  test.pValue = test.degreesOfFreedom == 0 ? 1.0
                                           : ChiSquareUpperTail(test.statistic,
                                                                test.degreesOfFreedom);
  return test;
}

}  // namespace

double ChiSquareUpperTail(double statistic, std::int32_t degreesOfFreedom) {
  const boost::math::chi_squared_distribution<double, NoThrow> fair(degreesOfFreedom);
  return boost::math::cdf(boost::math::complement(fair, statistic));
}

Distribution Describe(const Tally& tally, ValueRange range) {
  Distribution described;
  described.range = range;
  described.total = tally.TotalOf(range);
  described.fairMean = (static_cast<double>(range.lowest) + range.highest) / 2;
  const Tally::Counts& counts = tally.UnorderedCountsOf(range);
  described.bars = CountIntoBars(range, described.total, counts);
  if (described.total == 0) return described;

  // Whole numbers summed exactly: 64 bits hold any session's values.
  std::int64_t sum = 0;
  std::uint64_t most = 0;
  for (const auto& [value, count] : counts) {
    sum += value * static_cast<std::int64_t>(count);
    most = std::max(most, count);
  }
  described.mean = static_cast<double>(sum) / static_cast<double>(described.total);
  described.mostCommon = DrawnTimes(counts, most);
  described.leastCommon = LeastCommon(range, counts);

  described.test = TestAgainstFair(described.bars);
  const bool enough = std::ranges::all_of(
      described.bars, [](const Bar& bar) { return bar.expected >= kFewestExpectedPerBar; });
  if (!enough) {
    described.verdict = Verdict::TooFewToJudge;
  } else if (described.test->pValue < kUnusualBelow) {
    described.verdict = Verdict::UnusualForFair;
  } else {
    described.verdict = Verdict::ConsistentWithFair;
  }
  return described;
}

std::string TestText(const ChiSquare& test) {
  char text[160];
  const char* const freedom = test.degreesOfFreedom == 1 ? "degree" : "degrees";
  const int written =
      test.pValue < 0.001
          ? std::snprintf(text, sizeof text, "Chi-square %.2f with %d %s of freedom, p < 0.001",
                          test.statistic, test.degreesOfFreedom, freedom)
          : std::snprintf(text, sizeof text, "Chi-square %.2f with %d %s of freedom, p = %.3f",
                          test.statistic, test.degreesOfFreedom, freedom, test.pValue);
  if (written < 0) return {};
  // A statistic too large for the line is cut, never read past.
  return {text, std::min(static_cast<std::size_t>(written), sizeof text - 1)};
}

}  // namespace tambrel
