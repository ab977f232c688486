#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tambrel {

// One run as kept: when it ended, the number of sides it read and the
// values it placed, in grid order. `values` may hold only the first of
// them (see HistoryStore::Runs); `valueCount` and `sum` cover them all.
//
// A roll of the Dice window is a run too, told by its `expression`: its
// totals are its values, counted by `valueCount` and added up in `sum`,
// and `results` says what "Results" shows (the breakdown of a roll, the
// first totals of a batch and how many more); `sides` is 0 and `values`
// empty.
struct StoredRun {
  std::int64_t id = 0;  // given by the store; a later run has a larger id
  std::int64_t endedAtMs = 0;  // milliseconds since the Unix epoch
  std::int16_t sides = 0;
  std::int32_t valueCount = 0;
  std::int64_t sum = 0;
  std::vector<std::int16_t> values;
  // Empty for a run of the main window. Else the expression as parsed
  // ("4d6kh3", "6x4d6kh3"), rolled `times` times at once (a batch: the
  // History shows "1000×2d6").
  std::string expression;
  std::int32_t times = 1;
  std::string results;
};

// A roll the player keeps under a name ("Fireball: 8d6").
struct SavedRoll {
  std::int64_t id = 0;  // given by the store
  std::string name;
  std::string expression;
};

// How often each total of an expression has come up, across sessions,
// and since when (the first roll counted, or the last reset; 0 when it
// has not been rolled).
struct ExpressionTally {
  std::int64_t sinceMs = 0;
  std::uint64_t rolls = 0;  // totals counted
  std::map<std::int64_t, std::uint64_t> counts;
};

// Totals of Dice rolls to add to the counts of one expression (its parsed
// form), whose count begins at `sinceMs` if it has none yet.
struct StoredTotals {
  std::string expression;
  std::int64_t sinceMs = 0;
  std::map<std::int64_t, std::uint64_t> counts;
};

// What a run weighs against the value limit: its values, and a Dice
// roll's "Results" text as the values the same bytes would hold (two a
// value), so that the limit bounds the file whatever the runs hold.
[[nodiscard]] inline std::int64_t KeptValues(const StoredRun& run) {
  return static_cast<std::int64_t>(run.values.size() + (run.results.size() + 1) / 2);
}

// The values one number of sides can give, and since when they have been
// counted (the first value counted, or the last reset).
struct StoredRange {
  std::int32_t lowest = 1;
  std::int32_t highest = 1;
  std::int64_t sinceMs = 0;
};

struct StoredCount {
  std::int32_t lowest = 1;
  std::int32_t highest = 1;
  std::int32_t value = 0;
  std::uint64_t count = 0;
};

// A value and how often it came up.
using StoredValueCount = std::pair<std::int32_t, std::uint64_t>;

// One range's count as kept: since when (0: not counted yet), and its
// values that came up, in ascending order.
struct StoredTally {
  std::int64_t sinceMs = 0;
  std::vector<StoredValueCount> counts;
};

// How much history is kept, in runs and in values (KeptValues of each);
// the oldest runs go first. Counts are never trimmed.
struct HistoryLimits {
  std::int64_t runs = 0;
  std::int64_t values = 0;
};

// What keeps the runs and the tally between sessions. Every call that
// changes something is one transaction: all of it is kept, or none. A call
// that fails leaves Problem() saying why, until a later one succeeds; a read
// that fails returns nothing and changes no Problem().
class HistoryStore {
 public:
  virtual ~HistoryStore() = default;

  // Keeps `run` (its id is ignored) and adds its values to the counts of
  // `range`, whose count begins at `range.sinceMs` if it has none yet; then
  // forgets the oldest runs beyond `limits`. Returns the run's new id, or
  // nothing when it could not be kept.
  virtual std::optional<std::int64_t> Record(const StoredRun& run, const StoredRange& range,
                                             const HistoryLimits& limits) = 0;

  // Adds to the counts of `range` as Record does, for values whose runs
  // are not kept (they waited too long to be written whole).
  virtual bool AddCounts(const StoredRange& range, const std::vector<StoredValueCount>& counts) = 0;

  [[nodiscard]] virtual std::int64_t RunCount() = 0;
  // Newest first: at most `count` runs from the `offset`-th newest (0 is the
  // newest), each with at most `headValues` of its values.
  [[nodiscard]] virtual std::vector<StoredRun> Runs(std::int64_t offset, std::int64_t count,
                                                    std::size_t headValues) = 0;
  // Whole runs with these ids, newest first; ids not kept are left out.
  [[nodiscard]] virtual std::vector<StoredRun> RunsById(const std::vector<std::int64_t>& ids) = 0;
  // Every run, whole, oldest first, one at a time so that they are never
  // all held at once. False when the reading failed part way.
  virtual bool ForEachRun(const std::function<void(const StoredRun&)>& visit) = 0;
  // Forgets every run; the counts stay.
  virtual bool ClearRuns() = 0;

  [[nodiscard]] virtual std::vector<StoredRange> Ranges() = 0;
  [[nodiscard]] virtual std::vector<StoredCount> Counts() = 0;
  // One range's counts, read afresh; nothing when they cannot be read.
  [[nodiscard]] virtual std::optional<StoredTally> TallyOf(std::int32_t lowest,
                                                           std::int32_t highest) = 0;
  // Forgets one range's counts; counting begins again at `range.sinceMs`.
  virtual bool ResetRange(const StoredRange& range) = 0;

  // A roll of the Dice window, kept as Record keeps a run, its totals
  // added to the counts of their expression in the same transaction.
  virtual std::optional<std::int64_t> RecordRoll(const StoredRun& roll, const StoredTotals& totals,
                                                 const HistoryLimits& limits) = 0;
  // Adds to an expression's counts, for rolls whose rows are not kept.
  virtual bool AddTotals(const StoredTotals& totals) = 0;
  // One expression's counts, read afresh; nothing when they cannot be read.
  [[nodiscard]] virtual std::optional<ExpressionTally> TotalsOf(const std::string& expression) = 0;
  // Forgets one expression's counts; counting begins again at `sinceMs`.
  virtual bool ResetTotals(const std::string& expression, std::int64_t sinceMs) = 0;

  // In the order they were saved; nothing when they cannot be read.
  [[nodiscard]] virtual std::optional<std::vector<SavedRoll>> SavedRolls() = 0;
  // Returns the new roll's id, or nothing when it could not be kept.
  virtual std::optional<std::int64_t> SaveRoll(const std::string& name,
                                               const std::string& expression) = 0;
  // An id not kept (deleted by another Tambrel) changes nothing, and is no
  // failure.
  virtual bool RenameSavedRoll(std::int64_t id, const std::string& name) = 0;
  virtual bool DeleteSavedRoll(std::int64_t id) = 0;

  // Changes when another program (a second Tambrel) has changed what is
  // kept since the last call; never for this store's own changes.
  [[nodiscard]] virtual std::int64_t ChangeMark() = 0;

  // Empty while everything is kept; else why not, in a few plain words that
  // follow "History is not being saved: " ("the disk is full").
  [[nodiscard]] virtual std::string Problem() const = 0;
  // Whether Problem() holds for the rest of the session, so that no write
  // is tried again (a newer file, a folder that cannot be written); else
  // the next write tries (a full disk, a lock).
  [[nodiscard]] virtual bool ProblemLasts() const = 0;
};

}  // namespace tambrel
