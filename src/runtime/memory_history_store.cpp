#include "runtime/memory_history_store.h"

#include <algorithm>
#include <deque>
#include <map>
#include <string>
#include <tuple>
#include <utility>

namespace tambrel {
namespace {

using RangeKey = std::pair<std::int32_t, std::int32_t>;

class MemoryHistoryStore final : public HistoryStore {
 public:
  std::optional<std::int64_t> Record(const StoredRun& run, const StoredRange& range,
                                     const HistoryLimits& limits) override {
    StoredRun kept = run;
    kept.valueCount = static_cast<std::int32_t>(run.values.size());
    kept.sum = 0;
    for (const std::int16_t value : run.values) {
      kept.sum += value;
      ++counts_[{range.lowest, range.highest, value}];
    }
    ranges_.try_emplace({range.lowest, range.highest}, range.sinceMs);
    return Keep(std::move(kept), limits);
  }

  std::optional<std::int64_t> RecordRoll(const StoredRun& roll, const StoredTotals& totals,
                                         const HistoryLimits& limits) override {
    AddTotals(totals);
    return Keep(roll, limits);
  }

  bool AddTotals(const StoredTotals& totals) override {
    Totals& kept = totals_[totals.expression];
    if (kept.sinceMs == 0) kept.sinceMs = totals.sinceMs;
    for (const auto& [total, count] : totals.counts) {
      kept.counts[total] += count;
      kept.rolls += count;
    }
    return true;
  }

  std::optional<ExpressionTally> TotalsOf(const std::string& expression) override {
    const auto found = totals_.find(expression);
    return found != totals_.end() ? found->second : ExpressionTally{};
  }

  bool ResetTotals(const std::string& expression, std::int64_t sinceMs) override {
    totals_[expression] = {sinceMs, 0, {}};
    return true;
  }

  std::optional<std::vector<SavedRoll>> SavedRolls() override { return saved_; }

  std::optional<std::int64_t> SaveRoll(const std::string& name,
                                       const std::string& expression) override {
    saved_.push_back({nextSavedId_++, name, expression});
    return saved_.back().id;
  }

  bool RenameSavedRoll(std::int64_t id, const std::string& name) override {
    for (SavedRoll& roll : saved_) {
      if (roll.id == id) roll.name = name;
    }
    return true;
  }

  bool DeleteSavedRoll(std::int64_t id) override {
    std::erase_if(saved_, [id](const SavedRoll& roll) { return roll.id == id; });
    return true;
  }

  bool AddCounts(const StoredRange& range, const std::vector<StoredValueCount>& counts) override {
    for (const auto& [value, count] : counts) counts_[{range.lowest, range.highest, value}] += count;
    ranges_.try_emplace({range.lowest, range.highest}, range.sinceMs);
    return true;
  }

  std::int64_t RunCount() override { return static_cast<std::int64_t>(runs_.size()); }

  std::vector<StoredRun> Runs(std::int64_t offset, std::int64_t count,
                              std::size_t headValues) override {
    std::vector<StoredRun> page;
    const auto size = static_cast<std::int64_t>(runs_.size());
    for (std::int64_t i = std::max<std::int64_t>(offset, 0); i < size && count > 0;
         ++i, --count) {
      StoredRun run = runs_[static_cast<std::size_t>(size - 1 - i)];
      if (run.values.size() > headValues) run.values.resize(headValues);
      page.push_back(std::move(run));
    }
    return page;
  }

  std::vector<StoredRun> RunsById(const std::vector<std::int64_t>& ids) override {
    std::vector<StoredRun> found;
    for (auto run = runs_.rbegin(); run != runs_.rend(); ++run) {
      if (std::find(ids.begin(), ids.end(), run->id) != ids.end()) found.push_back(*run);
    }
    return found;
  }

  bool ForEachRun(const std::function<void(const StoredRun&)>& visit) override {
    try {
      for (const StoredRun& run : runs_) visit(run);
    } catch (...) {
      return false;
    }
    return true;
  }

  bool ClearRuns() override {
    runs_.clear();
    values_ = 0;
    return true;
  }

  std::vector<StoredRange> Ranges() override {
    std::vector<StoredRange> ranges;
    for (const auto& [key, since] : ranges_) ranges.push_back({key.first, key.second, since});
    return ranges;
  }

  std::vector<StoredCount> Counts() override {
    std::vector<StoredCount> counts;
    for (const auto& [key, count] : counts_) {
      counts.push_back({std::get<0>(key), std::get<1>(key), std::get<2>(key), count});
    }
    return counts;
  }

  std::optional<StoredTally> TallyOf(std::int32_t lowest, std::int32_t highest) override {
    StoredTally tally;
    if (const auto found = ranges_.find({lowest, highest}); found != ranges_.end()) {
      tally.sinceMs = found->second;
    }
    for (auto it = counts_.lower_bound({lowest, highest, INT32_MIN});
         it != counts_.end() && std::get<0>(it->first) == lowest && std::get<1>(it->first) == highest;
         ++it) {
      tally.counts.emplace_back(std::get<2>(it->first), it->second);
    }
    return tally;
  }

  bool ResetRange(const StoredRange& range) override {
    const auto first = counts_.lower_bound({range.lowest, range.highest, INT32_MIN});
    const auto last = counts_.upper_bound({range.lowest, range.highest, INT32_MAX});
    counts_.erase(first, last);
    ranges_[{range.lowest, range.highest}] = range.sinceMs;
    return true;
  }

  // Nobody else writes here.
  std::int64_t ChangeMark() override { return 0; }

  std::string Problem() const override { return {}; }
  bool ProblemLasts() const override { return false; }

 private:
  using Totals = ExpressionTally;

  std::int64_t Keep(StoredRun run, const HistoryLimits& limits) {
    run.id = nextId_++;
    values_ += KeptValues(run);
    runs_.push_back(std::move(run));
    // The oldest go first; the newest run always stays.
    while (runs_.size() > 1 && (static_cast<std::int64_t>(runs_.size()) > limits.runs ||
                                values_ > limits.values)) {
      values_ -= KeptValues(runs_.front());
      runs_.pop_front();
    }
    return runs_.back().id;
  }

  std::deque<StoredRun> runs_;
  std::int64_t values_ = 0;  // in runs_, for the value limit
  std::int64_t nextId_ = 1;
  std::map<std::tuple<std::int32_t, std::int32_t, std::int32_t>, std::uint64_t> counts_;
  std::map<RangeKey, std::int64_t> ranges_;
  std::map<std::string, Totals> totals_;
  std::vector<SavedRoll> saved_;
  std::int64_t nextSavedId_ = 1;
};

}  // namespace

std::unique_ptr<HistoryStore> MakeMemoryHistoryStore() {
  return std::make_unique<MemoryHistoryStore>();
}

}  // namespace tambrel
