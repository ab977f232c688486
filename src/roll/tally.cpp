#include "roll/tally.h"

#include <algorithm>

namespace tambrel {

ValueRange RangeOfSides(std::int16_t sides) {
  return {std::min<std::int32_t>(sides, 1), std::max<std::int32_t>(sides, 1)};
}

void Tally::Add(ValueRange range, std::int32_t value) {
  if (latestTally_ == nullptr || *latest_ != range) {
    latest_ = range;
    latestTally_ = &ranges_[range];
  }
  ++latestTally_->counts[value];
  ++latestTally_->total;
}

void Tally::Merge(ValueRange range, std::int32_t value, std::uint64_t count) {
  RangeTally& tally = ranges_[range];
  tally.counts[value] += count;
  tally.total += count;
}

void Tally::SetLatest(ValueRange range) {
  latest_ = range;
  latestTally_ = nullptr;
}

std::int64_t Tally::SinceOf(ValueRange range) const {
  const auto found = ranges_.find(range);
  return found == ranges_.end() ? 0 : found->second.sinceMs;
}

void Tally::SetSince(ValueRange range, std::int64_t sinceMs) { ranges_[range].sinceMs = sinceMs; }

void Tally::Reset(ValueRange range) {
  if (latest_ == range) latestTally_ = nullptr;
  ranges_.erase(range);
}

std::uint64_t Tally::TotalOf(ValueRange range) const {
  const auto found = ranges_.find(range);
  return found == ranges_.end() ? 0 : found->second.total;
}

std::vector<ValueCount> Tally::CountsOf(ValueRange range) const {
  const Counts& unordered = UnorderedCountsOf(range);
  std::vector<ValueCount> counts(unordered.begin(), unordered.end());
  std::ranges::sort(counts);
  return counts;
}

const Tally::Counts& Tally::UnorderedCountsOf(ValueRange range) const {
  static const Counts kNone;
  const auto found = ranges_.find(range);
  return found == ranges_.end() ? kNone : found->second.counts;
}

}  // namespace tambrel
