#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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
// before. Where it cannot keep them, the runs and the tally go on in memory
// for the rest of the session, and the reason is told once.
class History final : public RunRecorder {
 public:
  // Opens the store; says in `notice` what it had to do that the user
  // should hear of, such as setting a damaged file aside.
  using Opener = std::function<std::unique_ptr<HistoryStore>(std::string& notice)>;
  // Milliseconds since the Unix epoch.
  using Clock = std::function<std::int64_t()>;
  using ProblemReport = std::function<void(const std::string& problem)>;

  History(Tally& tally, Opener opener, Clock clock);
  ~History() override;
  History(const History&) = delete;
  History& operator=(const History&) = delete;

  // Opens the store, once, and adds the counts it kept to the tally.
  void Open();

  [[nodiscard]] const Tally& Counted() const { return tally_; }

  // A run has placed its values, which are already in the tally; kept
  // when it placed any.
  void RunPlaced(const PlacedRun& run) override;
  // Forgets one range's counts, in the tally and in the store.
  void ResetRange(ValueRange range);
  // Forgets every run; the tally stays.
  void Clear();

  [[nodiscard]] std::int64_t RunCount();
  // Newest first, each with the values "Results" shows.
  [[nodiscard]] std::vector<StoredRun> Runs(std::int64_t offset, std::int64_t count);
  // Whole runs, newest first.
  [[nodiscard]] std::vector<StoredRun> RunsById(const std::vector<std::int64_t>& ids);
  // Every run, whole, oldest first.
  bool ForEachRun(const std::function<void(const StoredRun&)>& visit);

  // Empty while the history is saved; else why not.
  [[nodiscard]] const std::string& Problem() const { return problem_; }
  // Told once, at the first run that cannot be saved.
  void OnProblem(ProblemReport report) { report_ = std::move(report); }
  // Told what was done with a damaged file, once, when the store was opened.
  [[nodiscard]] const std::string& Notice() const { return notice_; }

 private:
  HistoryStore& Store();
  void LoadTally();
  // From now on the store is kept in memory, beginning with the runs of
  // this session that the failing store can still give back.
  void FallBack();
  void ReportOnce();

  Tally& tally_;
  Opener opener_;
  Clock clock_;
  std::unique_ptr<HistoryStore> store_;
  bool inMemory_ = false;
  bool reported_ = false;
  std::string problem_;
  std::string notice_;
  ProblemReport report_;
  std::vector<std::int64_t> sessionRuns_;
};

}  // namespace tambrel
