#include "roll/pending_writes.h"

#include <algorithm>
#include <utility>

namespace tambrel {
namespace {

bool Same(const PendingWrites::Counted& a, const PendingWrites::Counted& b) {
  if (!a.expression.empty() || !b.expression.empty()) return a.expression == b.expression;
  return a.range.lowest == b.range.lowest && a.range.highest == b.range.highest;
}

StoredRun Head(const StoredRun& run, std::size_t headValues) {
  StoredRun head = run;
  if (head.values.size() > headValues) head.values.resize(headValues);
  return head;
}

// What a run adds to its counts: a Dice roll's totals, or a run's values.
void AddCountsOf(const PendingWrites::Run& run, PendingWrites::CountMap& into) {
  for (const auto& [total, count] : run.totals) into[total] += count;
  for (const std::int16_t value : run.run.values) ++into[value];
}

}  // namespace

std::int64_t PendingWrites::Add(Write write, const HistoryLimits& limits) {
  std::int64_t id = 0;
  if (auto* run = std::get_if<Run>(&write)) {
    run->run.id = id = nextId_--;
    ++runs_;
    values_ += KeptValues(run->run);
  } else if (auto* save = std::get_if<Save>(&write)) {
    save->roll.id = id = nextId_--;
  } else if (std::holds_alternative<Clear>(write)) {
    for (std::size_t at = 0; at < writes_.size();) {
      at = std::holds_alternative<Run>(writes_[at]) ? KeepOnlyCounts(at) : at + 1;
    }
  }
  writes_.push_back(std::move(write));
  // The oldest go first, as in the store; the newest always stays.
  for (std::size_t at = 0; runs_ > 1 && (runs_ > limits.runs || values_ > limits.values);) {
    while (!std::holds_alternative<Run>(writes_[at])) ++at;
    at = KeepOnlyCounts(at);
  }
  return id;
}

std::size_t PendingWrites::KeepOnlyCounts(std::size_t at) {
  Run run = std::move(std::get<Run>(writes_[at]));
  --runs_;
  values_ -= KeptValues(run.run);
  Counts* into = nullptr;
  // Counts add up in any order, except across a reset of what they count.
  for (std::size_t before = at; before-- > 0 && into == nullptr;) {
    if (auto* counts = std::get_if<Counts>(&writes_[before]); counts && Same(counts->counted, run.counted)) {
      into = counts;
    } else if (auto* reset = std::get_if<Reset>(&writes_[before]); reset && Same(reset->counted, run.counted)) {
      break;
    }
  }
  const bool joined = into != nullptr;
  if (!joined) {
    writes_[at] = Counts{run.counted, {}};
    into = &std::get<Counts>(writes_[at]);
  }
  AddCountsOf(run, into->counts);
  if (!joined) return at + 1;
  writes_.erase(writes_.begin() + static_cast<std::ptrdiff_t>(at));
  return at;
}

std::int64_t PendingWrites::WriteTo(HistoryStore& store, const HistoryLimits& limits) {
  std::int64_t written = 0;
  while (!writes_.empty()) {
    Write& write = writes_.front();
    if (!WriteOne(store, write, limits)) break;
    if (const auto* run = std::get_if<Run>(&write)) {
      ++written;
      --runs_;
      values_ -= KeptValues(run->run);
    }
    writes_.pop_front();
  }
  return written;
}

bool PendingWrites::WriteOne(HistoryStore& store, Write& write, const HistoryLimits& limits) {
  if (const auto* run = std::get_if<Run>(&write)) {
    const Counted& under = run->counted;
    if (under.expression.empty()) return store.Record(run->run, under.range, limits).has_value();
    return store.RecordRoll(run->run, {under.expression, under.range.sinceMs, run->totals}, limits)
        .has_value();
  }
  if (const auto* counts = std::get_if<Counts>(&write)) {
    const Counted& under = counts->counted;
    if (!under.expression.empty()) {
      return store.AddTotals({under.expression, under.range.sinceMs, counts->counts});
    }
    std::vector<StoredValueCount> values;
    for (const auto& [value, count] : counts->counts) {
      values.emplace_back(static_cast<std::int32_t>(value), count);
    }
    return store.AddCounts(under.range, values);
  }
  if (const auto* reset = std::get_if<Reset>(&write)) {
    const Counted& under = reset->counted;
    if (under.expression.empty()) return store.ResetRange(under.range);
    return store.ResetTotals(under.expression, under.range.sinceMs);
  }
  if (const auto* save = std::get_if<Save>(&write)) {
    const std::optional<std::int64_t> id = store.SaveRoll(save->roll.name, save->roll.expression);
    if (!id) return false;
    keptIds_[save->roll.id] = *id;
    // What waits after it names the roll by the id it now has.
    for (Write& later : writes_) {
      if (auto* rename = std::get_if<Rename>(&later); rename && rename->id == save->roll.id) rename->id = *id;
      if (auto* drop = std::get_if<Delete>(&later); drop && drop->id == save->roll.id) drop->id = *id;
    }
    return true;
  }
  if (const auto* rename = std::get_if<Rename>(&write)) return store.RenameSavedRoll(rename->id, rename->name);
  if (const auto* drop = std::get_if<Delete>(&write)) return store.DeleteSavedRoll(drop->id);
  return store.ClearRuns();
}

bool PendingWrites::ClearWaits() const {
  return std::any_of(writes_.begin(), writes_.end(),
                     [](const Write& write) { return std::holds_alternative<Clear>(write); });
}

std::vector<StoredRun> PendingWrites::Runs(std::int64_t offset, std::int64_t count,
                                           std::size_t headValues) const {
  std::vector<StoredRun> runs;
  for (auto write = writes_.rbegin(); write != writes_.rend() && count > 0; ++write) {
    const auto* run = std::get_if<Run>(&*write);
    if (run == nullptr || offset-- > 0) continue;
    runs.push_back(Head(run->run, headValues));
    --count;
  }
  return runs;
}

std::vector<StoredRun> PendingWrites::RunsById(const std::vector<std::int64_t>& ids) const {
  std::vector<StoredRun> runs;
  for (auto write = writes_.rbegin(); write != writes_.rend(); ++write) {
    const auto* run = std::get_if<Run>(&*write);
    if (run != nullptr && std::find(ids.begin(), ids.end(), run->run.id) != ids.end()) {
      runs.push_back(run->run);
    }
  }
  return runs;
}

void PendingWrites::ForEachRun(const std::function<void(const StoredRun&)>& visit) const {
  for (const Write& write : writes_) {
    if (const auto* run = std::get_if<Run>(&write)) visit(run->run);
  }
}

PendingWrites::Waiting PendingWrites::WaitingFor(const Counted& counted) const {
  Waiting waiting;
  for (const Write& write : writes_) {
    const Counted* of = nullptr;
    if (const auto* reset = std::get_if<Reset>(&write); reset && Same(reset->counted, counted)) {
      waiting = {true, reset->counted.range.sinceMs, {}};
    } else if (const auto* run = std::get_if<Run>(&write); run && Same(run->counted, counted)) {
      AddCountsOf(*run, waiting.counts);
      of = &run->counted;
    } else if (const auto* counts = std::get_if<Counts>(&write); counts && Same(counts->counted, counted)) {
      for (const auto& [value, count] : counts->counts) waiting.counts[value] += count;
      of = &counts->counted;
    }
    if (of != nullptr && waiting.sinceMs == 0) waiting.sinceMs = of->range.sinceMs;
  }
  return waiting;
}

void PendingWrites::ApplySaved(std::vector<SavedRoll>& rolls) const {
  const auto find = [&](std::int64_t id) {
    return std::find_if(rolls.begin(), rolls.end(), [id](const SavedRoll& roll) { return roll.id == id; });
  };
  for (const Write& write : writes_) {
    if (const auto* save = std::get_if<Save>(&write)) {
      rolls.push_back(save->roll);
    } else if (const auto* rename = std::get_if<Rename>(&write)) {
      if (const auto found = find(rename->id); found != rolls.end()) found->name = rename->name;
    } else if (const auto* drop = std::get_if<Delete>(&write)) {
      if (const auto found = find(drop->id); found != rolls.end()) rolls.erase(found);
    }
  }
}

std::int64_t PendingWrites::KeptId(std::int64_t id) const {
  const auto found = keptIds_.find(id);
  return found != keptIds_.end() ? found->second : id;
}

}  // namespace tambrel
