#include "roll/pending_writes.h"

#include <algorithm>
#include <utility>

namespace tambrel {
namespace {

bool SameRange(const StoredRange& a, const StoredRange& b) {
  return a.lowest == b.lowest && a.highest == b.highest;
}

StoredRun Head(const StoredRun& run, std::size_t headValues) {
  StoredRun head = run;
  if (head.values.size() > headValues) head.values.resize(headValues);
  return head;
}

}  // namespace

void PendingWrites::Add(Write write, const HistoryLimits& limits) {
  if (auto* run = std::get_if<Run>(&write)) {
    run->run.id = nextId_--;
    ++runs_;
    values_ += static_cast<std::int64_t>(run->run.values.size());
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
}

std::size_t PendingWrites::KeepOnlyCounts(std::size_t at) {
  Run run = std::move(std::get<Run>(writes_[at]));
  --runs_;
  values_ -= static_cast<std::int64_t>(run.run.values.size());
  Counts* into = nullptr;
  // Counts add up in any order, except across a reset of their range.
  for (std::size_t before = at; before-- > 0 && into == nullptr;) {
    if (auto* counts = std::get_if<Counts>(&writes_[before]); counts && SameRange(counts->range, run.range)) {
      into = counts;
    } else if (auto* reset = std::get_if<Reset>(&writes_[before]); reset && SameRange(reset->range, run.range)) {
      break;
    }
  }
  const bool joined = into != nullptr;
  if (!joined) {
    writes_[at] = Counts{run.range, {}};
    into = &std::get<Counts>(writes_[at]);
  }
  for (const std::int16_t value : run.run.values) ++into->counts[value];
  if (!joined) return at + 1;
  writes_.erase(writes_.begin() + static_cast<std::ptrdiff_t>(at));
  return at;
}

std::int64_t PendingWrites::WriteTo(HistoryStore& store, const HistoryLimits& limits) {
  std::int64_t written = 0;
  while (!writes_.empty()) {
    const Write& write = writes_.front();
    if (const auto* run = std::get_if<Run>(&write)) {
      if (!store.Record(run->run, run->range, limits)) break;
      ++written;
      --runs_;
      values_ -= static_cast<std::int64_t>(run->run.values.size());
    } else if (const auto* counts = std::get_if<Counts>(&write)) {
      if (!store.AddCounts(counts->range, {counts->counts.begin(), counts->counts.end()})) break;
    } else if (const auto* reset = std::get_if<Reset>(&write)) {
      if (!store.ResetRange(reset->range)) break;
    } else if (!store.ClearRuns()) {
      break;
    }
    writes_.pop_front();
  }
  return written;
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

PendingWrites::Waiting PendingWrites::WaitingFor(std::int32_t lowest, std::int32_t highest) const {
  const StoredRange range{lowest, highest, 0};
  Waiting waiting;
  for (const Write& write : writes_) {
    const StoredRange* of = nullptr;
    if (const auto* reset = std::get_if<Reset>(&write); reset && SameRange(reset->range, range)) {
      waiting = {true, reset->range.sinceMs, {}};
    } else if (const auto* run = std::get_if<Run>(&write); run && SameRange(run->range, range)) {
      for (const std::int16_t value : run->run.values) ++waiting.counts[value];
      of = &run->range;
    } else if (const auto* counts = std::get_if<Counts>(&write); counts && SameRange(counts->range, range)) {
      for (const auto& [value, count] : counts->counts) waiting.counts[value] += count;
      of = &counts->range;
    }
    if (of != nullptr && waiting.sinceMs == 0) waiting.sinceMs = of->sinceMs;
  }
  return waiting;
}

}  // namespace tambrel
