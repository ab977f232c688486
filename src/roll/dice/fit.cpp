#include "roll/dice/fit.h"

#include <limits>
#include <vector>

namespace tambrel::dice {

Fit TestAgainstOdds(const Odds& odds, const std::map<std::int64_t, std::uint64_t>& observed) {
  Fit fit;
  std::uint64_t rolls = 0;
  for (const auto& [total, count] : observed) rolls += count;
  if (rolls == 0 || odds.totals.empty()) return fit;

  // Each total's count beside its expectation. Totals past the end of a
  // truncated table belong to its last row; any other total the odds do
  // not list cannot come up with fair dice.
  std::vector<double> counts(odds.totals.size(), 0.0);
  bool impossible = false;
  for (const auto& [total, count] : observed) {
    if (const Chance* row = odds.Find(total)) {
      counts[static_cast<std::size_t>(row - odds.totals.data())] += static_cast<double>(count);
    } else if (odds.truncated && total > odds.totals.back().total) {
      counts.back() += static_cast<double>(count);
    } else {
      impossible = true;
    }
  }

  // Neighbours merged from the low tail up until each bin expects enough;
  // what is left at the high tail joins the last bin.
  struct Bin {
    double expected = 0;
    double count = 0;
  };
  std::vector<Bin> bins;
  Bin open;
  for (std::size_t i = 0; i < counts.size(); ++i) {
    open.expected += odds.totals[i].chance * static_cast<double>(rolls);
    open.count += counts[i];
    if (open.expected >= kFewestExpectedPerBar) {
      bins.push_back(open);
      open = {};
    }
  }
  if (bins.empty()) {
    bins.push_back(open);
  } else {
    bins.back().expected += open.expected;
    bins.back().count += open.count;
  }

  fit.bins = static_cast<std::int32_t>(bins.size());
  fit.test.degreesOfFreedom = fit.bins - 1;
  for (const Bin& bin : bins) {
    const double difference = bin.count - bin.expected;
    fit.test.statistic += difference * difference / bin.expected;
  }
  if (impossible) {
    fit.test.statistic = std::numeric_limits<double>::infinity();
    fit.test.pValue = 0;
    fit.verdict = Verdict::UnusualForFair;
    return fit;
  }
  if (fit.bins < 2) return fit;
  fit.test.pValue = ChiSquareUpperTail(fit.test.statistic, fit.test.degreesOfFreedom);
  fit.verdict = fit.test.pValue < kUnusualBelow ? Verdict::UnusualForFair : Verdict::ConsistentWithFair;
  return fit;
}

}  // namespace tambrel::dice
