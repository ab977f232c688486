#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "runtime/history_store.h"

namespace tambrel {

// The changes to the history that the store has not taken yet, oldest
// first: runs and Dice rolls, and the resets, clears and changes to the
// saved rolls made while they waited. They wait in memory, in order, until
// the store takes them, each in a transaction of its own.
class PendingWrites {
 public:
  using CountMap = std::map<std::int64_t, std::uint64_t>;
  // What counts are kept under: the range of a run's values, or, when
  // `expression` is set, the parsed form of what one total of a Dice roll
  // rolls. Either is counted since `range.sinceMs` if it has no count yet.
  struct Counted {
    StoredRange range;
    std::string expression;
  };
  // A run, or a Dice roll with its totals (which its row does not keep),
  // and what it is counted under. While it waits, its id is below zero, so
  // that it is never taken for a kept run's.
  struct Run {
    StoredRun run;
    Counted counted;
    CountMap totals;
  };
  // The counts of runs that waited beyond the limits: the store would have
  // forgotten their rows by now, but never their counts.
  struct Counts {
    Counted counted;
    CountMap counts;
  };
  struct Reset {
    Counted counted;
  };
  struct Clear {};
  // A saved roll, its id below zero until the store has given it one.
  struct Save {
    SavedRoll roll;
  };
  struct Rename {
    std::int64_t id = 0;
    std::string name;
  };
  struct Delete {
    std::int64_t id = 0;
  };
  using Write = std::variant<Run, Counts, Reset, Clear, Save, Rename, Delete>;

  // Adds a change after the others; a run or a saved roll is given its id,
  // which is returned (else 0). The oldest runs beyond `limits` keep only
  // their counts, and a clear keeps only the counts of the runs before it.
  std::int64_t Add(Write write, const HistoryLimits& limits);
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

  // What waits for one range or expression: counts to add to what the
  // store keeps, or, after a reset, to replace it, counted since `sinceMs`.
  struct Waiting {
    bool reset = false;
    std::int64_t sinceMs = 0;
    CountMap counts;
  };
  [[nodiscard]] Waiting WaitingFor(const Counted& counted) const;

  // The saved rolls as they will be once the changes waiting are written.
  void ApplySaved(std::vector<SavedRoll>& rolls) const;
  // The id the store gave a saved roll that waited under `id`; else `id`.
  [[nodiscard]] std::int64_t KeptId(std::int64_t id) const;

 private:
  // Makes the run at `at` a count, joined to an earlier one of its range;
  // returns where the next change now is.
  std::size_t KeepOnlyCounts(std::size_t at);
  // Hands one change to the store; false when it refused it.
  bool WriteOne(HistoryStore& store, Write& write, const HistoryLimits& limits);

  std::deque<Write> writes_;
  std::int64_t runs_ = 0;
  std::int64_t values_ = 0;  // KeptValues of the runs waiting, for the value limit
  std::int64_t nextId_ = -1;
  std::map<std::int64_t, std::int64_t> keptIds_;
};

}  // namespace tambrel
