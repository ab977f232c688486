// What the Distribution window costs a full grid: the same run with the
// window closed and open, side by side, and the window's own update.
#include <benchmark/benchmark.h>

#include <QAction>

#include "bench_window.h"
#include "window/distribution/frm_distribution.h"

namespace tambrel {
namespace {

// The values a maximised 3840 x 2160 window's grid holds.
constexpr int kFullGrid = 10944;

void OpenDistribution(MaximisedWindow& maximised) {
  maximised.window.findChild<QAction*>(QStringLiteral("actShowDistribution"))->trigger();
  static_cast<void>(QTest::qWaitForWindowExposed(maximised.session.Distribution()));
  // Back to the main window, as a user would be when clicking there.
  maximised.window.activateWindow();
  static_cast<void>(QTest::qWaitForWindowActive(&maximised.window));
  QApplication::processEvents();
}

// From the click on "Generate Number" to the end of the paint of a full
// grid and, when open, of the window that follows the tally.
void BM_FullGridRun(benchmark::State& state) {
  MaximisedWindow maximised;
  maximised.SetSides(static_cast<int>(state.range(0)));
  const bool open = state.range(1) != 0;
  if (open) OpenDistribution(maximised);
  TimeFullGridRuns(state, maximised);
}
BENCHMARK(BM_FullGridRun)
    ->ArgNames({"sides", "open"})
    ->Args({6, 0})
    ->Args({6, 1})
    ->Args({32767, 0})
    ->Args({32767, 1})
    ->Unit(benchmark::kMillisecond);

// The window's update after a run: a full grid's worth of new values
// counted, then from the tally's news to the end of the window's paint.
// Ten grids are counted first, so that nearly every value of 1 to 32767
// has come up.
void BM_DistributionUpdate(benchmark::State& state) {
  const ValueRange range = RangeOfSides(static_cast<std::int16_t>(state.range(0)));
  BenchServices services;
  Tally tally;
  History history(tally, {}, [] { return std::int64_t{0}; });
  const auto countAGrid = [&] {
    for (int i = 0; i < kFullGrid; ++i) {
      tally.Add(range, services.Random().Between(range.lowest, range.highest));
    }
  };
  for (int run = 0; run < 10; ++run) countAGrid();
  frmDistribution shown(history);
  shown.show();
  static_cast<void>(QTest::qWaitForWindowExposed(&shown));
  for (auto _ : state) {
    state.PauseTiming();
    countAGrid();
    state.ResumeTiming();
    shown.Changed();
    QApplication::processEvents();
  }
  state.counters["bars"] = static_cast<double>(shown.Shown()->bars.size());
}
BENCHMARK(BM_DistributionUpdate)->ArgName("sides")->Arg(6)->Arg(32767)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tambrel
