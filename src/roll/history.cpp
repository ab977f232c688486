#include "roll/history.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "runtime/memory_history_store.h"

namespace tambrel {

History::History(Tally& tally, Opener opener, Clock clock)
    : tally_(tally), opener_(std::move(opener)), clock_(std::move(clock)) {}

History::~History() {
  // Closing is no time for a message box.
  report_ = nullptr;
  if (store_ && !waiting_.Empty()) Flush(waiting_.RunCount());
}

void History::Open() {
  if (store_) return;
  if (opener_) store_ = opener_(notice_);
  if (!store_) store_ = MakeMemoryHistoryStore();
  problem_ = store_->Problem();
  // Taken before the counts are read: a change in between is read again.
  mark_ = store_->ChangeMark();
  allAgree_ = true;
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
  // The Dice window's rolls count no range.
  const std::vector<StoredRun> newest = store_->Runs(0, 100, 0);
  const auto run = std::find_if(newest.begin(), newest.end(),
                                [](const StoredRun& made) { return made.expression.empty(); });
  if (run != newest.end()) {
    tally_.SetLatest(RangeOfSides(run->sides));
  } else if (!ranges.empty()) {
    const StoredRange* latest = &ranges.front();
    for (const StoredRange& range : ranges) {
      if (range.sinceMs > latest->sinceMs) latest = &range;
    }
    tally_.SetLatest({latest->lowest, latest->highest});
  }
}

void History::Agree(ValueRange range) {
  HistoryStore& store = Store();
  const std::int64_t mark = store.ChangeMark();
  if (mark != mark_) {
    mark_ = mark;
    allAgree_ = false;
    agree_.clear();
  }
  if (allAgree_ || agree_.contains(range)) return;
  const std::optional<StoredTally> kept = store.TallyOf(range.lowest, range.highest);
  if (!kept) return;
  const PendingWrites::Waiting waiting = waiting_.WaitingFor({{range.lowest, range.highest, 0}, {}});
  tally_.Reset(range);
  if (!waiting.reset) {
    for (const auto& [value, count] : kept->counts) tally_.Merge(range, value, count);
  }
  for (const auto& [value, count] : waiting.counts) {
    tally_.Merge(range, static_cast<std::int32_t>(value), count);
  }
  tally_.SetSince(range, waiting.reset || kept->sinceMs == 0 ? waiting.sinceMs : kept->sinceMs);
  agree_.insert(range);
}

void History::RunPlaced(const PlacedRun& run) {
  if (run.values.empty()) return;
  Open();
  const std::int64_t now = clock_();
  const ValueRange range = RangeOfSides(run.sides);
  if (tally_.SinceOf(range) == 0) tally_.SetSince(range, now);

  StoredRun stored;
  stored.endedAtMs = now;
  stored.sides = run.sides;
  stored.valueCount = static_cast<std::int32_t>(run.values.size());
  for (const std::int16_t value : run.values) stored.sum += value;
  stored.values = run.values;
  const StoredRange counted{range.lowest, range.highest, tally_.SinceOf(range)};
  Write(PendingWrites::Run{std::move(stored), {counted, {}}, {}});
  Agree(range);
}

std::int64_t History::Write(PendingWrites::Write write) {
  const std::int64_t waited = waiting_.RunCount();
  const std::int64_t id = waiting_.Add(std::move(write), kHistoryLimits);
  Flush(waited);
  return id;
}

void History::Flush(std::int64_t waited) {
  std::int64_t written = 0;
  // A problem that lasts is not tried again.
  if (store_->Problem().empty() || !store_->ProblemLasts()) {
    written = waiting_.WriteTo(*store_, kHistoryLimits);
  }
  problem_ = store_->Problem();
  if (!problem_.empty()) {
    resumed_.reset();
    // A file that could not be opened is told of at the first change it
    // does not keep, not while the window first shows.
    if (!told_ && report_) report_(problem_);
    told_ = true;
  } else if (told_) {
    told_ = false;
    resumed_ = std::min(written, waited);
  }
}

void History::ResetRange(ValueRange range) {
  Open();
  const std::int64_t now = clock_();
  tally_.Reset(range);
  // Counting begins again now, in the tally as in the store.
  tally_.SetSince(range, now);
  Write(PendingWrites::Reset{{{range.lowest, range.highest, now}, {}}});
  Agree(range);
}

void History::DiceRolled(const StoredRun& roll, const std::string& counted,
                         const std::map<std::int64_t, std::uint64_t>& counts) {
  if (roll.expression.empty() || counted.empty()) return;
  Open();
  StoredRun stored = roll;
  stored.endedAtMs = clock_();
  stored.sides = 0;
  stored.values.clear();
  // An expression is counted since its first roll, or its last reset.
  const StoredRange since{0, 0, stored.endedAtMs};
  Write(PendingWrites::Run{std::move(stored), {since, counted}, counts});
}

ExpressionTally History::TallyOfExpression(const std::string& counted) {
  // Read from the file each time, so that another Tambrel's rolls and
  // resets are seen; one expression's counts are few.
  const std::optional<ExpressionTally> kept = Store().TotalsOf(counted);
  const PendingWrites::Waiting waiting = waiting_.WaitingFor({{}, counted});
  ExpressionTally tally = kept && !waiting.reset ? *kept : ExpressionTally{};
  for (const auto& [total, count] : waiting.counts) {
    tally.counts[total] += count;
    tally.rolls += count;
  }
  if (waiting.reset || tally.sinceMs == 0) tally.sinceMs = waiting.sinceMs;
  return tally;
}

void History::ResetExpression(const std::string& counted) {
  Open();
  Write(PendingWrites::Reset{{{0, 0, clock_()}, counted}});
}

std::vector<SavedRoll> History::SavedRolls() {
  std::vector<SavedRoll> rolls = Store().SavedRolls().value_or(std::vector<SavedRoll>{});
  waiting_.ApplySaved(rolls);
  return rolls;
}

std::int64_t History::SaveRoll(const std::string& name, const std::string& expression) {
  Open();
  return waiting_.KeptId(Write(PendingWrites::Save{{0, name, expression}}));
}

void History::RenameSavedRoll(std::int64_t id, const std::string& name) {
  Open();
  Write(PendingWrites::Rename{waiting_.KeptId(id), name});
}

void History::DeleteSavedRoll(std::int64_t id) {
  Open();
  Write(PendingWrites::Delete{waiting_.KeptId(id)});
}

void History::Clear() {
  Open();
  Write(PendingWrites::Clear{});
}

std::int64_t History::RunCount() {
  const std::int64_t kept = waiting_.ClearWaits() ? 0 : Store().RunCount();
  return std::min(kept + waiting_.RunCount(), kHistoryLimits.runs);
}

std::vector<StoredRun> History::Runs(std::int64_t offset, std::int64_t count) {
  std::vector<StoredRun> runs = waiting_.Runs(offset, count, kResultsShown);
  const auto more = count - static_cast<std::int64_t>(runs.size());
  if (more > 0 && !waiting_.ClearWaits()) {
    const std::int64_t from = std::max<std::int64_t>(offset - waiting_.RunCount(), 0);
    for (StoredRun& run : Store().Runs(from, more, kResultsShown)) runs.push_back(std::move(run));
  }
  return runs;
}

std::vector<StoredRun> History::RunsById(const std::vector<std::int64_t>& ids) {
  std::vector<StoredRun> runs = waiting_.RunsById(ids);
  std::vector<std::int64_t> kept;
  std::copy_if(ids.begin(), ids.end(), std::back_inserter(kept), [](std::int64_t id) { return id > 0; });
  if (kept.empty() || waiting_.ClearWaits()) return runs;
  for (StoredRun& run : Store().RunsById(kept)) runs.push_back(std::move(run));
  return runs;
}

bool History::ForEachRun(const std::function<void(const StoredRun&)>& visit) {
  if (!waiting_.ClearWaits() && !Store().ForEachRun(visit)) return false;
  try {
    waiting_.ForEachRun(visit);
  } catch (...) {
    return false;
  }
  return true;
}

}  // namespace tambrel
