#include "roll/tally.h"

#include <algorithm>

namespace tambrel {

ValueRange RangeOfSides(std::int16_t sides) {
  return {std::min<std::int32_t>(sides, 1), std::max<std::int32_t>(sides, 1)};
}

void Tally::Add(ValueRange range, std::int32_t value) {
  if (!latest_ || *latest_ != range) latest_ = range;
  RangeTally& tally = ranges_[range];
  ++tally.counts[value];
  ++tally.total;
}

void Tally::Reset(ValueRange range) { ranges_.erase(range); }

std::uint64_t Tally::TotalOf(ValueRange range) const {
  const auto found = ranges_.find(range);
  return found == ranges_.end() ? 0 : found->second.total;
}

std::vector<ValueCount> Tally::CountsOf(ValueRange range) const {
  const auto found = ranges_.find(range);
  if (found == ranges_.end()) return {};
  std::vector<ValueCount> counts(found->second.counts.begin(), found->second.counts.end());
  std::ranges::sort(counts);
  return counts;
}

}  // namespace tambrel
