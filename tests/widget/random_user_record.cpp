#include "random_user_record.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QStringList>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <array>
#include <tuple>

#include "window/distribution/frm_distribution.h"
#include "window/frm_tambrel.h"
#include "window/history/frm_history.h"

namespace tambrel::random_user {
namespace {

// A d-n counts 1..n; a negative n, pasted, counts n..1.
ValueRange RangeOf(int sides) {
  return {std::min(sides, 1), std::max(sides, 1)};
}

std::string RangeName(ValueRange range) {
  return std::to_string(range.lowest) + ".." + std::to_string(range.highest);
}

// "Results": the first twenty values, then how many more follow.
QString ResultsOf(const std::vector<int>& values) {
  QStringList first;
  for (std::size_t i = 0; i < values.size() && i < 20; ++i) first.append(QString::number(values[i]));
  QString text = first.join(QStringLiteral(", "));
  if (values.size() > 20) text += QStringLiteral(", and %1 more").arg(values.size() - 20);
  return text;
}

long long SumOf(const std::vector<int>& values) {
  long long sum = 0;
  for (const int value : values) sum += value;
  return sum;
}

const QString kUntouched = QStringLiteral("(the clipboard before Copy Values)");

}  // namespace

RecordEvent RandomRecordEvent(std::uint64_t bits) {
  // Restarts are the dearest; a sequence gets one now and then.
  static constexpr std::array<std::pair<int, RecordKind>, 9> kWeights = {{
      {24, RecordKind::RollAgain}, {8, RecordKind::ClearHistory}, {8, RecordKind::Restart},
      {18, RecordKind::CopyValues}, {14, RecordKind::ShowDistribution},
      {7, RecordKind::CloseDistribution}, {11, RecordKind::Reset}, {5, RecordKind::ShowHistory},
      {5, RecordKind::CloseHistory},
  }};
  RecordEvent e;
  int roll = static_cast<int>(bits % 100);
  for (const auto& [weight, kind] : kWeights) {
    e.kind = kind;
    if (roll < weight) break;
    roll -= weight;
  }
  e.pick = static_cast<int>((bits >> 8) % 1000);
  e.how = static_cast<int>((bits >> 20) % (e.kind == RecordKind::RollAgain ? 3 : 2));
  e.yes = ((bits >> 24) & 1) != 0;
  return e;
}

std::string Describe(const RecordEvent& e) {
  const bool shortcut = e.how == 0;
  switch (e.kind) {
    case RecordKind::RollAgain: {
      static constexpr std::array<const char*, 3> kHow = {"cmdRollAgain", "Enter", "a double-click"};
      return "Roll Again on row " + std::to_string(e.pick) + " (modulo the rows) by " +
             kHow[static_cast<std::size_t>(e.how)];
    }
    case RecordKind::ClearHistory: return std::string("Clear History, answered ") + (e.yes ? "Yes" : "No");
    case RecordKind::Restart: return "restart on the same history file";
    case RecordKind::CopyValues: return shortcut ? "Copy Values by Ctrl+Shift+C" : "Copy Values from the menu";
    case RecordKind::ShowDistribution:
      return shortcut ? "Show Distribution by Ctrl+Shift+D" : "Show Distribution from the menu";
    case RecordKind::CloseDistribution:
      return shortcut ? "close the Distribution window by Escape" : "close the Distribution window's box";
    case RecordKind::Reset: return "Reset in the Distribution window";
    case RecordKind::ShowHistory: return shortcut ? "Show History by Ctrl+Shift+H" : "Show History from the menu";
    case RecordKind::CloseHistory: return shortcut ? "close the History window by Escape" : "close the History window's box";
  }
  return "?";
}

SessionRecord::SessionRecord(testing::RecordingServices& services)
    : services_(services),
      path_(folder_.filePath(QStringLiteral("state/tambrel/history.sqlite3")).toStdString()) {}

SessionRecord::~SessionRecord() = default;

bool SessionRecord::Start() {
  session_.reset();
  session_ = std::make_unique<TambrelSession>(services_, HistoryFileOpener(path_));
  frmTambrel* window = session_->Window();
  window->show();
  const bool exposed = QTest::qWaitForWindowExposed(window);
  window->activateWindow();
  QApplication::processEvents();
  latest_.reset();
  storeOpen_ = false;
  historyShown_ = distributionShown_ = false;
  questions_ = services_.questions.size();
  return exposed && folder_.isValid();
}

QWidget* SessionRecord::HistoryWindow() const { return session_->HistoryWindow(); }
QWidget* SessionRecord::DistributionWindow() const { return session_->Distribution(); }

void SessionRecord::Activate(QWidget* window) {
  if (window == nullptr || QApplication::activeWindow() == window) return;
  window->activateWindow();
  QApplication::processEvents();
}

void SessionRecord::ActivateMain() { Activate(Window()); }

void SessionRecord::StoreOpened() {
  if (!storeOpen_) checkAllRanges_ = true;
  storeOpen_ = true;
}

// By its shortcut in the main window, or by the menu item.
void SessionRecord::Show(int how, Qt::Key key, const char* action, bool& shown) {
  if (how == 0) {
    ActivateMain();
    QTest::keyClick(Window(), key, Qt::ControlModifier | Qt::ShiftModifier);
  } else {
    Window()->findChild<QAction*>(QString::fromLatin1(action))->trigger();
  }
  shown = true;
  StoreOpened();
}

void SessionRecord::ShowHistory(int how) { Show(how, Qt::Key_H, "actShowHistory", historyShown_); }
void SessionRecord::ShowDistribution(int how) {
  Show(how, Qt::Key_D, "actShowDistribution", distributionShown_);
}

std::optional<ModelRun> SessionRecord::ChooseRun(const RecordEvent& e) {
  chosenRow_.reset();
  if (HistoryWindow() == nullptr || !HistoryWindow()->isVisible()) ShowHistory(e.pick % 2);
  if (runs_.empty()) return std::nullopt;
  chosenRow_ = e.pick % static_cast<int>(runs_.size());
  return runs_[runs_.size() - 1 - static_cast<std::size_t>(*chosenRow_)];
}

void SessionRecord::Apply(const RecordEvent& e, const QString& shownText) {
  did_.clear();
  switch (e.kind) {
    case RecordKind::RollAgain: {
      QWidget* history = HistoryWindow();
      if (history == nullptr) break;
      auto* table = history->findChild<QTableView*>(QStringLiteral("tblRuns"));
      Activate(history);
      // Without a row to pick, the button does nothing.
      const QModelIndex index = table->model()->index(chosenRow_.value_or(0), e.pick % 7);
      if (chosenRow_) {
        Did("Roll Again");
        table->setCurrentIndex(index);
      }
      if (!chosenRow_ || e.how == 0) {
        QTest::mouseClick(history->findChild<QPushButton*>(QStringLiteral("cmdRollAgain")), Qt::LeftButton);
      } else if (e.how == 1) {
        QTest::keyClick(table, Qt::Key_Return);
      } else {
        table->scrollTo(index);
        // As the mouse gives it: a click, then the second press and release.
        const QPoint at = table->visualRect(index).center();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(table->viewport(), Qt::LeftButton, {}, at);
      }
      break;
    }
    case RecordKind::ClearHistory: {
      if (HistoryWindow() == nullptr || !HistoryWindow()->isVisible()) ShowHistory(e.pick % 2);
      Activate(HistoryWindow());
      services_.answer_yes = e.yes;
      // Asked only when there is something to forget.
      if (!runs_.empty()) {
        ++questions_;
        Did(e.yes ? "Clear History, Yes" : "Clear History, No");
        if (e.yes) runs_.clear();
      }
      QTest::mouseClick(HistoryWindow()->findChild<QPushButton*>(QStringLiteral("cmdClearHistory")),
                        Qt::LeftButton);
      // The tally stays.
      checkAllRanges_ = true;
      break;
    }
    case RecordKind::Restart: Did("restart"); break;
    case RecordKind::CopyValues: {
      QApplication::clipboard()->setText(kUntouched);
      clipboard_ = shownText.isEmpty() ? kUntouched : shownText;
      if (!shownText.isEmpty()) Did("Copy Values");
      if (e.how == 0) {
        ActivateMain();
        QWidget* focus = Window()->focusWidget();
        QTest::keyClick(focus != nullptr ? focus : Window(), Qt::Key_C,
                        Qt::ControlModifier | Qt::ShiftModifier);
      } else {
        Window()->findChild<QAction*>(QStringLiteral("actCopyValues"))->trigger();
      }
      break;
    }
    case RecordKind::ShowDistribution: ShowDistribution(e.how); break;
    case RecordKind::CloseDistribution:
    case RecordKind::CloseHistory: {
      const bool history = e.kind == RecordKind::CloseHistory;
      QWidget* window = history ? HistoryWindow() : DistributionWindow();
      (history ? historyShown_ : distributionShown_) = false;
      if (window == nullptr || !window->isVisible()) break;
      if (e.how == 0) {
        Activate(window);
        QTest::keyClick(window, Qt::Key_Escape);
      } else {
        window->close();
      }
      break;
    }
    case RecordKind::Reset: {
      if (DistributionWindow() == nullptr || !DistributionWindow()->isVisible()) ShowDistribution(e.pick % 2);
      auto* distribution = session_->Distribution();
      Activate(distribution);
      // Reset forgets the range shown, when it has counted anything.
      if (const auto& shown = distribution->Shown(); shown && shown->total > 0) {
        Did("Reset");
        tally_[shown->range].clear();
        changed_.insert(shown->range);
      }
      QTest::mouseClick(distribution->findChild<QPushButton*>(QStringLiteral("cmdReset")), Qt::LeftButton);
      break;
    }
    case RecordKind::ShowHistory: ShowHistory(e.how); break;
  }
}

void SessionRecord::RunEnded(int sides, const std::vector<int>& values) {
  if (values.empty()) return;
  runs_.push_back({sides, values});
  const ValueRange range = RangeOf(sides);
  auto& counts = tally_[range];
  for (const int value : values) ++counts[value];
  latest_ = range;
  changed_.insert(range);
  StoreOpened();
}

std::string SessionRecord::Check() {
  if (services_.questions.size() != questions_) {
    return "history: " + std::to_string(services_.questions.size()) + " questions asked, expected " +
           std::to_string(questions_);
  }
  if (clipboard_) {
    const QString held = QApplication::clipboard()->text();
    const QString expected = *clipboard_;
    clipboard_.reset();
    if (held != expected) {
      return "clipboard: holds \"" + held.left(200).toStdString() + "\", expected \"" +
             expected.left(200).toStdString() + "\"";
    }
  }
  for (const auto& [window, expected, name] :
       {std::tuple{HistoryWindow(), historyShown_, "history"},
        std::tuple{DistributionWindow(), distributionShown_, "distribution"}}) {
    const bool shown = window != nullptr && window->isVisible();
    if (shown != expected) {
      return std::string(name) + ": the window is " + (shown ? "shown" : "not shown") + ", expected " +
             (expected ? "shown" : "closed");
    }
  }
  std::string failure = CheckRows();
  if (failure.empty()) failure = CheckDistribution();
  if (failure.empty()) failure = CheckTally();
  return failure;
}

// The History window's rows, or, when it is closed, the history it would
// read: the runs that placed values, newest first.
std::string SessionRecord::CheckRows() {
  const std::size_t count = runs_.size();
  const auto expected = [&](std::size_t row) -> const ModelRun& { return runs_[count - 1 - row]; };
  if (historyShown_) {
    const QAbstractItemModel* table = HistoryWindow()->findChild<QTableView*>(QStringLiteral("tblRuns"))->model();
    if (static_cast<std::size_t>(table->rowCount()) != count) {
      return "history: " + std::to_string(table->rowCount()) + " rows shown, expected " + std::to_string(count);
    }
    for (std::size_t row = 0; row < count; ++row) {
      const ModelRun& run = expected(row);
      const auto cell = [&](int column) { return table->index(static_cast<int>(row), column).data().toString(); };
      const QStringList seen = {cell(1), cell(2), cell(3), cell(4), cell(6)};
      const QString placed = QString::number(run.values.size());
      const QStringList wanted = {placed + QLatin1Char('d') + QString::number(run.sides), QString::number(run.sides),
                                  placed, QString::number(SumOf(run.values)), ResultsOf(run.values)};
      if (seen != wanted) {
        return "history: row " + std::to_string(row) + " shows " + seen.join(QStringLiteral(" | ")).toStdString() +
               "; expected " + wanted.join(QStringLiteral(" | ")).toStdString();
      }
    }
    return {};
  }
  // Reading the file before the program does would hide a fault of its
  // late opening.
  if (!storeOpen_) return {};
  const std::vector<StoredRun> kept = session_->Record().Runs(0, static_cast<std::int64_t>(count) + 1);
  if (kept.size() != count) {
    return "history: " + std::to_string(kept.size()) + " runs kept, expected " + std::to_string(count);
  }
  for (std::size_t row = 0; row < count; ++row) {
    const ModelRun& run = expected(row);
    const std::vector<int> head(run.values.begin(),
                                run.values.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(run.values.size(), 20)));
    const std::vector<int> keptHead(kept[row].values.begin(), kept[row].values.end());
    if (kept[row].sides != run.sides || kept[row].valueCount != static_cast<std::int32_t>(run.values.size()) ||
        kept[row].sum != SumOf(run.values) || keptHead != head) {
      return "history: run " + std::to_string(row) + " kept as " + ResultsOf(keptHead).toStdString() +
             ", expected d" + std::to_string(run.sides) + ": " + ResultsOf(run.values).toStdString();
    }
  }
  return {};
}

// The Distribution window shows the latest run's range (after a restart,
// the newest kept run's), with its count since the last reset.
std::string SessionRecord::CheckDistribution() {
  if (!distributionShown_) return {};
  const std::optional<Distribution>& shown = session_->Distribution()->Shown();
  std::optional<ValueRange> expected = latest_;
  if (!expected && !runs_.empty()) expected = RangeOf(runs_.back().sides);
  if (!shown) {
    if (expected || !tally_.empty()) return "distribution: shows nothing, with values counted";
    return {};
  }
  // Without a run, the range counted most recently: any the file holds.
  if (expected ? shown->range != *expected : !tally_.contains(shown->range)) {
    return "distribution: shows " + RangeName(shown->range) +
           (expected ? ", expected " + RangeName(*expected) : ", never counted");
  }
  std::uint64_t total = 0;
  if (const auto found = tally_.find(shown->range); found != tally_.end()) {
    for (const auto& [value, times] : found->second) total += times;
  }
  if (shown->total != total) {
    return "distribution: " + std::to_string(shown->total) + " values shown for " + RangeName(shown->range) +
           ", expected " + std::to_string(total);
  }
  return {};
}

// Each range's tally is the values placed since its last reset, in this
// session and the ones before. Only the ranges an event touched are
// compared, and all of them once the file has been read.
std::string SessionRecord::CheckTally() {
  if (!storeOpen_) return {};
  std::set<ValueRange> ranges;
  if (checkAllRanges_) {
    for (const auto& [range, counts] : tally_) ranges.insert(range);
  } else {
    ranges = changed_;
  }
  checkAllRanges_ = false;
  changed_.clear();
  const Tally& counted = session_->Record().Counted();
  for (const ValueRange range : ranges) {
    const std::map<int, std::uint64_t>& model = tally_[range];
    const std::vector<ValueCount> counts = counted.CountsOf(range);
    if (!std::equal(counts.begin(), counts.end(), model.begin(), model.end(),
                    [](const ValueCount& a, const auto& b) { return a.first == b.first && a.second == b.second; })) {
      std::uint64_t total = 0;
      for (const auto& [value, times] : model) total += times;
      return "tally: " + RangeName(range) + " counts " + std::to_string(counted.TotalOf(range)) + " values in " +
             std::to_string(counts.size()) + " kinds, expected " + std::to_string(total) + " in " +
             std::to_string(model.size());
    }
  }
  return {};
}

void SessionRecord::Count(RecordStats& stats) {
  if (!did_.empty()) ++stats.done[did_];
  did_.clear();
  stats.mostRuns = std::max(stats.mostRuns, static_cast<long long>(runs_.size()));
}

}  // namespace tambrel::random_user
