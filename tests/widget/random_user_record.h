#pragma once

// The randomized user beyond the main window: the whole program as a
// session on a history file of its own, the History window (Roll Again,
// Clear History), the Distribution window (open, close, Reset), Copy
// Values, and restarts on the same file; with a model of the runs kept and
// of every range's tally, checked after each event.

#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/session.h"
#include "roll/tally.h"
#include "support/recording_services.h"

namespace tambrel::random_user {

enum class RecordKind {
  RollAgain,
  ClearHistory,
  Restart,
  CopyValues,
  ShowDistribution,
  CloseDistribution,
  Reset,
  ShowHistory,
  CloseHistory,
};

struct RecordEvent {
  RecordKind kind = RecordKind::CopyValues;
  int pick = 0;      // RollAgain: the row, modulo the rows there are
  int how = 0;       // RollAgain: button, Enter, double-click; else shortcut or key, menu item or close box
  bool yes = false;  // ClearHistory: the answer
};

[[nodiscard]] RecordEvent RandomRecordEvent(std::uint64_t bits);
[[nodiscard]] std::string Describe(const RecordEvent& e);

// A run that placed values, as the model saw it on the grid.
struct ModelRun {
  int sides = 0;
  std::vector<int> values;
};

struct RecordStats {
  std::map<std::string, long long> done;  // what each kind of event did
  long long mostRuns = 0;
};

class SessionRecord {
 public:
  explicit SessionRecord(testing::RecordingServices& services);
  ~SessionRecord();
  SessionRecord(const SessionRecord&) = delete;
  SessionRecord& operator=(const SessionRecord&) = delete;

  // Builds the session again on the same file, as a restart does, and
  // shows its main window; false when it never appeared.
  bool Start();
  [[nodiscard]] frmTambrel* Window() const { return session_ ? session_->Window() : nullptr; }

  // The main window made active, as the user's click into it does, before
  // anything is typed or clicked there.
  void ActivateMain();
  // Roll Again's run: opens the History window and picks a row; nothing
  // when there is no row to pick.
  [[nodiscard]] std::optional<ModelRun> ChooseRun(const RecordEvent& e);
  // Carries out the event, but for a restart, which Start() does;
  // `shownText` is what Copy Values should put on the clipboard.
  void Apply(const RecordEvent& e, const QString& shownText);
  // A run placed these values; none when it placed nothing.
  void RunEnded(int sides, const std::vector<int>& values);

  // What disagrees with the model, or nothing.
  [[nodiscard]] std::string Check();
  void Count(RecordStats& stats);

 private:
  QWidget* HistoryWindow() const;
  QWidget* DistributionWindow() const;
  void Activate(QWidget* window);
  void Show(int how, Qt::Key key, const char* action, bool& shown);
  void ShowHistory(int how);
  void ShowDistribution(int how);
  void StoreOpened();
  void Did(const char* what) { did_ = what; }
  [[nodiscard]] std::string CheckRows();
  [[nodiscard]] std::string CheckDistribution();
  [[nodiscard]] std::string CheckTally();

  testing::RecordingServices& services_;
  // Before the session, so that the file outlives it.
  QTemporaryDir folder_;
  std::string path_;
  std::unique_ptr<TambrelSession> session_;

  std::vector<ModelRun> runs_;  // oldest first
  std::map<ValueRange, std::map<int, std::uint64_t>> tally_;
  std::optional<ValueRange> latest_;  // this session's latest run's range
  // The file is read once something needs it; until then the tally is
  // this session's alone.
  bool storeOpen_ = false;
  bool checkAllRanges_ = false;
  std::set<ValueRange> changed_;
  bool historyShown_ = false;
  bool distributionShown_ = false;
  std::size_t questions_ = 0;
  std::optional<QString> clipboard_;
  std::optional<int> chosenRow_;
  std::string did_;
};

}  // namespace tambrel::random_user
