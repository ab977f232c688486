#include "roll/history.h"

#include <utility>

#include "runtime/memory_history_store.h"

namespace tambrel {

History::History(Tally& tally, Opener opener, Clock clock)
    : tally_(tally), opener_(std::move(opener)), clock_(std::move(clock)) {}

History::~History() = default;

void History::Open() {
  if (store_) return;
  if (opener_) store_ = opener_(notice_);
  if (!store_) store_ = MakeMemoryHistoryStore();
  problem_ = store_->Problem();
  if (!problem_.empty()) FallBack();
  LoadTally();
}

HistoryStore& History::Store() {
  Open();
  return *store_;
}

void History::LoadTally() {
  for (const StoredCount& count : store_->Counts()) {
    tally_.Merge({count.lowest, count.highest}, count.value, count.count);
  }
  const std::vector<StoredRange> ranges = store_->Ranges();
  for (const StoredRange& range : ranges) tally_.SetSince({range.lowest, range.highest}, range.sinceMs);
  // The Distribution window opens on the range of the newest run, as it
  // would have at the end of the last session; without runs, on the range
  // counted most recently.
  if (tally_.Latest()) return;
  const std::vector<StoredRun> newest = store_->Runs(0, 1, 0);
  if (!newest.empty()) {
    tally_.SetLatest(RangeOfSides(newest.front().sides));
  } else if (!ranges.empty()) {
    const StoredRange* latest = &ranges.front();
    for (const StoredRange& range : ranges) {
      if (range.sinceMs > latest->sinceMs) latest = &range;
    }
    tally_.SetLatest({latest->lowest, latest->highest});
  }
}

void History::RunPlaced(const PlacedRun& run) {
  if (run.values.empty()) return;
  HistoryStore& store = Store();
  const std::int64_t now = clock_();
  const ValueRange range = RangeOfSides(run.sides);
  if (tally_.SinceOf(range) == 0) tally_.SetSince(range, now);

  StoredRun stored;
  stored.endedAtMs = now;
  stored.sides = run.sides;
  stored.valueCount = static_cast<std::int32_t>(run.values.size());
  for (const std::int16_t value : run.values) stored.sum += value;
  stored.values = run.values;
  const StoredRange kept{range.lowest, range.highest, tally_.SinceOf(range)};

  if (const auto id = store.Record(stored, kept, kHistoryLimits)) {
    if (!inMemory_) sessionRuns_.push_back(*id);
    // A file that could not be opened is told of at the first run it
    // does not keep, not while the window first shows.
    ReportOnce();
    return;
  }
  problem_ = store.Problem();
  FallBack();
  store_->Record(stored, kept, kHistoryLimits);
  ReportOnce();
}

void History::FallBack() {
  if (inMemory_) return;
  inMemory_ = true;
  std::unique_ptr<HistoryStore> memory = MakeMemoryHistoryStore();
  if (store_ && !sessionRuns_.empty()) {
    std::vector<StoredRun> runs = store_->RunsById(sessionRuns_);
    // Oldest first, so that they keep their order.
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
      const ValueRange range = RangeOfSides(run->sides);
      memory->Record(*run, {range.lowest, range.highest, tally_.SinceOf(range)}, kHistoryLimits);
    }
  }
  sessionRuns_.clear();
  // The counts kept before are in the tally already; the store in memory
  // holds only what this session adds.
  store_ = std::move(memory);
}

void History::ReportOnce() {
  if (reported_ || problem_.empty()) return;
  reported_ = true;
  if (report_) report_(problem_);
}

void History::ResetRange(ValueRange range) {
  HistoryStore& store = Store();
  const std::int64_t now = clock_();
  tally_.Reset(range);
  // Counting begins again now, in the tally as in the store.
  tally_.SetSince(range, now);
  if (!store.ResetRange({range.lowest, range.highest, now}) && !inMemory_) {
    problem_ = store_->Problem();
    FallBack();
    ReportOnce();
  }
}

void History::Clear() {
  sessionRuns_.clear();
  if (!Store().ClearRuns() && !inMemory_) {
    problem_ = store_->Problem();
    FallBack();
    ReportOnce();
  }
}

std::int64_t History::RunCount() { return Store().RunCount(); }

std::vector<StoredRun> History::Runs(std::int64_t offset, std::int64_t count) {
  return Store().Runs(offset, count, kResultsShown);
}

std::vector<StoredRun> History::RunsById(const std::vector<std::int64_t>& ids) {
  return Store().RunsById(ids);
}

bool History::ForEachRun(const std::function<void(const StoredRun&)>& visit) {
  return Store().ForEachRun(visit);
}

}  // namespace tambrel
