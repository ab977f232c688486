#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <variant>
#include <vector>

#include "runtime/history_store.h"

namespace tambrel {

// The changes to the history that the store has not taken yet, oldest
// first: runs, and the resets and clears made while they waited. They wait
// in memory, in order, until the store takes them, each in a transaction
// of its own.
class PendingWrites {
 public:
  // A run and the range its values are counted in. While it waits, its id
  // is below zero, so that it is never taken for a kept run's.
  struct Run {
    StoredRun run;
    StoredRange range;
  };
  // The counts of runs that waited beyond the limits: the store would have
  // forgotten their rows by now, but never their counts.
  struct Counts {
    StoredRange range;
    std::map<std::int32_t, std::uint64_t> counts;
  };
  struct Reset {
    StoredRange range;
  };
  struct Clear {};
  using Write = std::variant<Run, Counts, Reset, Clear>;

  // Adds a change after the others; a run is given its id. The oldest runs
  // beyond `limits` keep only their counts, and a clear keeps only the
  // counts of the runs before it.
  void Add(Write write, const HistoryLimits& limits);
  // Hands the changes to `store`, oldest first, until it refuses one.
  // Returns how many runs it took.
  std::int64_t WriteTo(HistoryStore& store, const HistoryLimits& limits);
  [[nodiscard]] bool Empty() const { return writes_.empty(); }

  // Whether a clear waits, so that the runs the store keeps are forgotten.
  [[nodiscard]] bool ClearWaits() const;
  // The runs waiting, all made after any clear.
  [[nodiscard]] std::int64_t RunCount() const { return runs_; }
  // Newest first, from the `offset`-th newest, each with at most
  // `headValues` of its values.
  [[nodiscard]] std::vector<StoredRun> Runs(std::int64_t offset, std::int64_t count,
                                            std::size_t headValues) const;
  // Whole runs with these ids, newest first.
  [[nodiscard]] std::vector<StoredRun> RunsById(const std::vector<std::int64_t>& ids) const;
  // Oldest first.
  void ForEachRun(const std::function<void(const StoredRun&)>& visit) const;

  // What waits for one range: counts to add to what the store keeps, or,
  // after a reset, to replace it, counted since `sinceMs`.
  struct Waiting {
    bool reset = false;
    std::int64_t sinceMs = 0;
    std::map<std::int32_t, std::uint64_t> counts;
  };
  [[nodiscard]] Waiting WaitingFor(std::int32_t lowest, std::int32_t highest) const;

 private:
  // Makes the run at `at` a count, joined to an earlier one of its range;
  // returns where the next change now is.
  std::size_t KeepOnlyCounts(std::size_t at);

  std::deque<Write> writes_;
  std::int64_t runs_ = 0;
  std::int64_t values_ = 0;  // in the runs waiting, for the value limit
  std::int64_t nextId_ = -1;
};

}  // namespace tambrel
