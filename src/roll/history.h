#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "roll/pending_writes.h"
#include "roll/roll_run.h"
#include "roll/tally.h"
#include "runtime/history_store.h"

namespace tambrel {

// The latest 10,000 runs are kept, and at most ten million values in all.
inline constexpr HistoryLimits kHistoryLimits{10'000, 10'000'000};
// "Results" lists this many of a run's values, then how many more follow.
inline constexpr std::size_t kResultsShown = 20;

// Every run that placed a value, kept between sessions with the tally
// beside it. The store is opened once the window is on the screen, not
// before. What the store cannot take yet waits in memory, in order, and is
// shown with what it keeps; a problem that may pass (a full disk, a lock)
// is tried again at each later change, and what waited is written as soon
// as the store takes it. When saving stops, that is told once.
class History final : public RunRecorder {
 public:
  // Opens the store; says in `notice` what it had to do that the user
  // should hear of, such as setting a damaged file aside.
  using Opener = std::function<std::unique_ptr<HistoryStore>(std::string& notice)>;
  // Milliseconds since the Unix epoch.
  using Clock = std::function<std::int64_t()>;
  using ProblemReport = std::function<void(const std::string& problem)>;

  History(Tally& tally, Opener opener, Clock clock);
  // Tries once more to write what waits.
  ~History() override;
  History(const History&) = delete;
  History& operator=(const History&) = delete;

  // Opens the store, once, and adds the counts it kept to the tally.
  void Open();

  [[nodiscard]] const Tally& Counted() const { return tally_; }
  // Reads the counts of `range` again from the store when another Tambrel
  // has changed it since, so that the tally says what the file says (with
  // what waits to be written).
  void Agree(ValueRange range);

  // A run has placed its values, which are already in the tally; kept
  // when it placed any.
  void RunPlaced(const PlacedRun& run) override;
  // Forgets one range's counts, in the tally and in the store.
  void ResetRange(ValueRange range);
  // Forgets every run; the tally stays.
  void Clear();

  // A roll of the Dice window, kept as a run (StoredRun::expression,
  // times, results, valueCount and sum set; its time is given here), newest
  // first among the main window's. Each of its totals is counted under
  // `counted`, the parsed form of what one total rolls ("4d6kh3" for
  // "6x4d6kh3"), in the same transaction; `counts` holds them all, a
  // batch's included, though the run keeps only what "Results" shows.
  void DiceRolled(const StoredRun& roll, const std::string& counted,
                  const std::map<std::int64_t, std::uint64_t>& counts);
  // The totals counted under a parsed form, with what waits to be written;
  // as the file says, when another Tambrel has added to them.
  [[nodiscard]] ExpressionTally TallyOfExpression(const std::string& counted);
  // Forgets them; counting begins again now.
  void ResetExpression(const std::string& counted);

  // The rolls kept under a name, in the order they were saved.
  [[nodiscard]] std::vector<SavedRoll> SavedRolls();
  // Keeps one; returns its id (below zero while it waits to be written).
  std::int64_t SaveRoll(const std::string& name, const std::string& expression);
  void RenameSavedRoll(std::int64_t id, const std::string& name);
  void DeleteSavedRoll(std::int64_t id);

  // The runs kept and those waiting to be, the waiting ones first.
  [[nodiscard]] std::int64_t RunCount();
  // Newest first, each with the values "Results" shows.
  [[nodiscard]] std::vector<StoredRun> Runs(std::int64_t offset, std::int64_t count);
  // Whole runs, newest first.
  [[nodiscard]] std::vector<StoredRun> RunsById(const std::vector<std::int64_t>& ids);
  // Every run, whole, oldest first.
  bool ForEachRun(const std::function<void(const StoredRun&)>& visit);

  // Empty while the history is saved; else why not.
  [[nodiscard]] const std::string& Problem() const { return problem_; }
  // Told once each time saving stops, at the first change it cannot keep.
  void OnProblem(ProblemReport report) { report_ = std::move(report); }
  // Once saving has begun again after it was told it stopped: how many
  // runs that had waited were written then.
  [[nodiscard]] std::optional<std::int64_t> Resumed() const { return resumed_; }
  // Told what was done with a damaged file, once, when the store was opened.
  [[nodiscard]] const std::string& Notice() const { return notice_; }

 private:
  HistoryStore& Store();
  void LoadTally();
  // Adds a change after those waiting and writes what the store takes;
  // returns the id the change was given while it waits (see Add).
  std::int64_t Write(PendingWrites::Write write);
  void Flush(std::int64_t waited);

  Tally& tally_;
  Opener opener_;
  Clock clock_;
  std::unique_ptr<HistoryStore> store_;
  PendingWrites waiting_;
  std::string problem_;
  std::string notice_;
  ProblemReport report_;
  // That saving stopped has been told, and not yet that it began again.
  bool told_ = false;
  std::optional<std::int64_t> resumed_;
  // The store's change mark when the tally last agreed with it, and the
  // ranges that agree (all of them, just after opening).
  std::int64_t mark_ = 0;
  bool allAgree_ = false;
  std::set<ValueRange> agree_;
};

}  // namespace tambrel
