#pragma once

#include <compare>
#include <cstdint>
#include <map>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tambrel {

// The values one number of sides can give: 1 to n, or n to 1 for a negative
// n (possible only through pasted text).
struct ValueRange {
  std::int32_t lowest = 1;
  std::int32_t highest = 1;

  [[nodiscard]] std::int32_t Width() const { return highest - lowest + 1; }
  friend auto operator<=>(const ValueRange&, const ValueRange&) = default;
};

// n must not be 0, which draws nothing.
[[nodiscard]] ValueRange RangeOfSides(std::int16_t sides);

using ValueCount = std::pair<std::int32_t, std::uint64_t>;

// Every value placed on the grid, counted per range: this session's, and
// those kept from earlier ones. Only the values that came up are stored, so
// memory follows the number of values drawn, never the width of a range.
class Tally {
 public:
  void Add(ValueRange range, std::int32_t value);
  // Counts kept from an earlier session; the latest range stays as it is.
  void Merge(ValueRange range, std::int32_t value, std::uint64_t count);
  // Forgets one range's values; the others keep theirs.
  void Reset(ValueRange range);
  // Makes `range` the latest, as after a run of it.
  void SetLatest(ValueRange range);

  // When the range began to be counted (milliseconds since the epoch), or
  // 0 when not known yet; the first value after a reset begins it anew.
  [[nodiscard]] std::int64_t SinceOf(ValueRange range) const;
  void SetSince(ValueRange range, std::int64_t sinceMs);

  // The range of the value counted last, which stays the latest through a
  // Reset.
  [[nodiscard]] std::optional<ValueRange> Latest() const { return latest_; }
  [[nodiscard]] std::uint64_t TotalOf(ValueRange range) const;
  // The values of a range that came up, in ascending order, with counts.
  [[nodiscard]] std::vector<ValueCount> CountsOf(ValueRange range) const;

  // The same in no order, as kept: nothing to sort for a caller that groups.
  using Counts = std::unordered_map<std::int32_t, std::uint64_t>;
  [[nodiscard]] const Counts& UnorderedCountsOf(ValueRange range) const;

 private:
  struct RangeTally {
    Counts counts;
    std::uint64_t total = 0;
    std::int64_t sinceMs = 0;
  };
  std::map<ValueRange, RangeTally> ranges_;
  std::optional<ValueRange> latest_;
  // The latest range's entry, kept so that a run's values skip the search.
  RangeTally* latestTally_ = nullptr;
};

}  // namespace tambrel
