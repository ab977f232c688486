// What keeping the history costs: a full grid with the history in a file
// against in memory, opening the file, and the History window over 10,000
// runs (opening it, its update after a run, Save As). Every file is made in
// the private state folder that main() sets up.
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTableView>
#include <filesystem>
#include <memory>
#include <string>

#include "bench_window.h"
#include "history_fill.h"
#include "window/history/frm_history.h"

namespace tambrel {
namespace {

std::string StateHome() { return qEnvironmentVariable("XDG_STATE_HOME").toStdString(); }

// A fresh copy, in a folder of its own, of a file of 10,000 runs that is
// recorded once per process; empty if it could not be made.
std::string CopyOfRunsFile(const std::string& folder) {
  static const std::string made = [] {
    const std::string path = StateHome() + "/made/runs.sqlite3";
    std::string problem;
    FillHistoryFile(path, HistoryFill::kRuns, problem);
    return problem.empty() ? path : std::string();
  }();
  if (made.empty()) return {};
  const std::filesystem::path dir = StateHome() + "/" + folder;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::filesystem::copy_file(made, dir / "history.sqlite3");
  return (dir / "history.sqlite3").string();
}

// The real window keeping its history in a copy of the 10,000-run file, or
// in memory; the history is opened as it is soon after start-up.
std::unique_ptr<MaximisedWindow> WindowOnFile(benchmark::State& state, const std::string& path) {
  auto maximised = std::make_unique<MaximisedWindow>(
      path.empty() ? History::Opener{} : HistoryFileOpener(path));
  maximised->session.Record().Open();
  if (!maximised->session.Record().Problem().empty()) {
    state.SkipWithError(maximised->session.Record().Problem().c_str());
    return nullptr;
  }
  return maximised;
}

// From the click on "Generate Number" to the end of the paint of a full
// grid, each run kept in the file (one transaction, synced) or in memory.
void BM_FullGridRunKept(benchmark::State& state) {
  const bool file = state.range(0) != 0;
  const std::string path = file ? CopyOfRunsFile("full-grid") : std::string();
  if (file && path.empty()) return state.SkipWithError("the history file could not be made");
  const auto maximised = WindowOnFile(state, path);
  if (!maximised) return;
  TimeFullGridRuns(state, *maximised);
}
BENCHMARK(BM_FullGridRunKept)->ArgName("file")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Opening the file of 10,000 runs and counting its tally in, as the
// program does just after its first paint.
void BM_HistoryFileOpen(benchmark::State& state) {
  const std::string path = CopyOfRunsFile("open");
  if (path.empty()) return state.SkipWithError("the history file could not be made");
  for (auto _ : state) {
    state.PauseTiming();
    Tally tally;
    auto history = std::make_unique<History>(tally, HistoryFileOpener(path),
                                             [] { return std::int64_t{0}; });
    state.ResumeTiming();
    history->Open();
    state.PauseTiming();
    if (!history->Problem().empty()) state.SkipWithError(history->Problem().c_str());
    history.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_HistoryFileOpen)->Unit(benchmark::kMillisecond);

// Notes the first paint of the History window's rows.
class RowsPainted final : public QObject {
 public:
  RowsPainted() { QApplication::instance()->installEventFilter(this); }
  ~RowsPainted() override { QApplication::instance()->removeEventFilter(this); }
  bool seen = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && watched->parent() != nullptr &&
        watched->parent()->objectName() == QLatin1String("tblRuns")) {
      seen = true;
    }
    return false;
  }
};

// From Ctrl+Shift+H in the main window to the end of the History window's
// first paint, its rows read from the file of 10,000 runs. The window is
// built at its first opening, so every iteration starts a new session.
void BM_HistoryWindowOpen(benchmark::State& state) {
  const std::string path = CopyOfRunsFile("window");
  if (path.empty()) return state.SkipWithError("the history file could not be made");
  for (auto _ : state) {
    state.PauseTiming();
    auto maximised = WindowOnFile(state, path);
    if (!maximised) break;
    maximised->window.activateWindow();
    QApplication::processEvents();
    RowsPainted painted;
    QElapsedTimer waited;
    waited.start();
    state.ResumeTiming();
    QTest::keyClick(&maximised->window, Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
    while (!painted.seen && waited.elapsed() < 5000) QApplication::processEvents();
    state.PauseTiming();
    if (!painted.seen) state.SkipWithError("the History window never painted its rows");
    maximised.reset();
    QApplication::processEvents();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_HistoryWindowOpen)->Iterations(5)->Unit(benchmark::kMillisecond);

// A run of twenty d20s, from the click to the end of the paints that
// follow, with the History window open (its update) and closed; the run
// is kept in the file of 10,000 runs either way.
void BM_HistoryUpdateAfterRun(benchmark::State& state) {
  const bool open = state.range(0) != 0;
  const std::string path = CopyOfRunsFile("update");
  if (path.empty()) return state.SkipWithError("the history file could not be made");
  const auto maximised = WindowOnFile(state, path);
  if (!maximised) return;
  maximised->SetSides(20);
  maximised->window.findChild<QLineEdit*>(QStringLiteral("txtRolled"))
      ->setText(QStringLiteral("20"));
  if (open) {
    maximised->session.ShowHistory();
    static_cast<void>(QTest::qWaitForWindowExposed(maximised->session.HistoryWindow()));
    maximised->window.activateWindow();
  }
  QApplication::processEvents();
  for (auto _ : state) {
    maximised->Click("cmdGenerate");
    QApplication::processEvents();
  }
}
BENCHMARK(BM_HistoryUpdateAfterRun)->ArgName("open")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The window's own part of that update: from the news that a run was kept
// to the end of the window's paint, the run and its commit not timed.
void BM_HistoryWindowUpdate(benchmark::State& state) {
  const std::string path = CopyOfRunsFile("window-update");
  if (path.empty()) return state.SkipWithError("the history file could not be made");
  const auto maximised = WindowOnFile(state, path);
  if (!maximised) return;
  maximised->session.ShowHistory();
  frmHistory& shown = *maximised->session.HistoryWindow();
  static_cast<void>(QTest::qWaitForWindowExposed(&shown));
  QApplication::processEvents();
  PlacedRun run;
  run.sides = 20;
  for (std::int16_t value = 1; value <= 20; ++value) run.values.push_back(value);
  for (auto _ : state) {
    state.PauseTiming();
    maximised->session.Record().RunPlaced(run);
    state.ResumeTiming();
    shown.Changed();
    QApplication::processEvents();
  }
}
BENCHMARK(BM_HistoryWindowUpdate)->Unit(benchmark::kMillisecond);

// Save As of the whole history of 10,000 runs to a CSV file, through
// QSaveFile as the button does it once a name is chosen.
void BM_HistorySaveAs(benchmark::State& state) {
  const std::string path = CopyOfRunsFile("save");
  if (path.empty()) return state.SkipWithError("the history file could not be made");
  const auto maximised = WindowOnFile(state, path);
  if (!maximised) return;
  maximised->session.ShowHistory();
  frmHistory& shown = *maximised->session.HistoryWindow();
  const QString csv = QString::fromStdString(StateHome() + "/save/history.csv");
  for (auto _ : state) {
    const QString problem = shown.SaveTo(csv);
    if (!problem.isEmpty()) {
      state.SkipWithError(problem.toStdString().c_str());
      break;
    }
  }
  state.counters["runs"] = static_cast<double>(maximised->session.Record().RunCount());
  state.counters["csv_bytes"] = static_cast<double>(QFileInfo(csv).size());
}
BENCHMARK(BM_HistorySaveAs)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tambrel
