// The Dice window: Ctrl+Shift+R in the main window to its first paint, and
// a roll, Enter in the field, to the paint that shows its result with the
// odds, for a new expression (odds worked out on the thread pool) and for
// the same one rolled again (odds kept); and a batch, from the click on Roll
// to its painted result.
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

#include "bench_window.h"
#include "window/dice/frm_dice.h"

namespace tambrel {
namespace {

bool InDiceWindow(QObject* watched) {
  return watched->isWidgetType() &&
         qobject_cast<frmDice*>(static_cast<QWidget*>(watched)->window()) != nullptr;
}

// Notes the first paint of anything in a Dice window.
class DicePainted final : public QObject {
 public:
  DicePainted() { QApplication::instance()->installEventFilter(this); }
  ~DicePainted() override { QApplication::instance()->removeEventFilter(this); }
  bool seen = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && InDiceWindow(watched)) seen = true;
    return false;
  }
};

// From Ctrl+Shift+R in the main window to the end of the Dice window's
// first paint. The window is built on first request, so every iteration
// starts a new session.
void BM_DiceWindowOpen(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto maximised = std::make_unique<MaximisedWindow>();
    maximised->window.activateWindow();
    QApplication::processEvents();
    DicePainted painted;
    QElapsedTimer waited;
    waited.start();
    state.ResumeTiming();
    QTest::keyClick(&maximised->window, Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    while (!painted.seen && waited.elapsed() < 5000) QApplication::processEvents();
    state.PauseTiming();
    if (!painted.seen) state.SkipWithError("the Dice window never painted");
    maximised.reset();
    QApplication::processEvents();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DiceWindowOpen)->Iterations(10)->Unit(benchmark::kMillisecond);

// Runs events until the Dice window has painted after telling that its odds
// are up to date; the paint's whole pass is done when Wait() returns.
class OddsPainted final : public QObject {
 public:
  explicit OddsPainted(frmDice& dice) : dice_(dice) {
    connect(&dice, &frmDice::oddsShown, this, [this] {
      if (!shown_) shownAfterNs_ = since_.nsecsElapsed();
      shown_ = true;
    });
    guard_.setSingleShot(true);
    connect(&guard_, &QTimer::timeout, &loop_, &QEventLoop::quit);
    QApplication::instance()->installEventFilter(this);
  }
  ~OddsPainted() override { QApplication::instance()->removeEventFilter(this); }

  void Start() {
    shown_ = painted_ = false;
    firstPaintNs_ = -1;
    since_.start();
  }
  // False if no such paint came within ten seconds.
  bool Wait() {
    if (!painted_) {
      guard_.start(10000);
      loop_.exec();
      guard_.stop();
    }
    return painted_;
  }
  [[nodiscard]] double ShownAfterMs() const { return static_cast<double>(shownAfterNs_) / 1e6; }
  // When the window began its first paint after Start(): the roll's own,
  // for a new expression, if it came before the odds.
  [[nodiscard]] double FirstPaintMs() const { return static_cast<double>(firstPaintNs_) / 1e6; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Paint || !watched->isWidgetType() ||
        static_cast<QWidget*>(watched)->window() != &dice_) {
      return false;
    }
    if (firstPaintNs_ < 0) firstPaintNs_ = since_.nsecsElapsed();
    if (shown_ && !painted_) {
      painted_ = true;
      loop_.quit();
    }
    return false;
  }

 private:
  frmDice& dice_;
  QEventLoop loop_;
  QTimer guard_;
  QElapsedTimer since_;
  qint64 shownAfterNs_ = 0;
  qint64 firstPaintNs_ = -1;
  bool shown_ = false;
  bool painted_ = false;
};

const char* const kRolled[] = {"4d6kh3", "8d6+5", "2d20kh1", "1000d6"};

// Enter in the field to the end of the paint that follows the odds. For a
// new expression the window last showed another one ("1d4", rolled and
// painted untimed), so its odds are worked out afresh; again, it last
// showed the same expression, whose odds it keeps.
void BM_DiceRollToOdds(benchmark::State& state) {
  const char* text = kRolled[state.range(0)];
  const bool again = state.range(1) != 0;
  state.SetLabel(std::string(text) + (again ? ", again" : ", new"));
  MaximisedWindow maximised;
  maximised.session.ShowDice();
  frmDice& dice = *maximised.session.Dice();
  static_cast<void>(QTest::qWaitForWindowExposed(&dice));
  auto* field = dice.findChild<QLineEdit*>(QStringLiteral("txtExpression"));
  OddsPainted painted(dice);
  const auto roll = [&](const char* expression) {
    field->setText(QString::fromLatin1(expression));
    painted.Start();
    QTest::keyClick(field, Qt::Key_Return);
    return painted.Wait();
  };
  if (again && !roll(text)) return state.SkipWithError("the odds were never painted");
  double shownMs = 0;
  double firstPaintMs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (!again && !roll("1d4")) {
      state.SkipWithError("the odds were never painted");
      break;
    }
    field->setText(QString::fromLatin1(text));
    QApplication::processEvents();
    painted.Start();
    state.ResumeTiming();
    QTest::keyClick(field, Qt::Key_Return);
    const bool shown = painted.Wait();
    state.PauseTiming();
    if (!shown) {
      state.SkipWithError("the odds were never painted");
      break;
    }
    shownMs += painted.ShownAfterMs();
    firstPaintMs += painted.FirstPaintMs();
    state.ResumeTiming();
  }
  // How much of it went before the odds were shown, the rest being paint;
  // and when the roll itself began to paint, whether or not its odds had
  // come: a roll never waits for them.
  state.counters["odds_shown_ms"] =
      benchmark::Counter(shownMs, benchmark::Counter::kAvgIterations);
  state.counters["first_paint_ms"] =
      benchmark::Counter(firstPaintMs, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_DiceRollToOdds)
    ->ArgNames({"expression", "again"})
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// A batch, from the click on Roll to the end of the paint that shows its
// last roll, its mean and its counts beside the odds; the history kept in
// a real file, as the program keeps it, each batch one transaction.
struct Batch {
  const char* expression;
  int times;
};
const Batch kBatches[] = {{"2d6", 100000}, {"4d6kh3", 1000}};

void BM_DiceBatchToPaint(benchmark::State& state) {
  const Batch& batch = kBatches[state.range(0)];
  state.SetLabel(std::to_string(batch.times) + " x " + batch.expression);
  const QTemporaryDir folder;
  MaximisedWindow maximised(HistoryFileOpener(folder.filePath(QStringLiteral("history.sqlite3")).toStdString()));
  maximised.session.ShowDice();
  frmDice& dice = *maximised.session.Dice();
  static_cast<void>(QTest::qWaitForWindowExposed(&dice));
  dice.findChild<QLineEdit*>(QStringLiteral("txtExpression"))->setText(QString::fromLatin1(batch.expression));
  dice.findChild<QSpinBox*>(QStringLiteral("spnTimes"))->setValue(batch.times);
  auto* roll = dice.findChild<QPushButton*>(QStringLiteral("cmdRoll"));
  OddsPainted painted(dice);
  for (auto _ : state) {
    painted.Start();
    QTest::mouseClick(roll, Qt::LeftButton);
    if (!painted.Wait()) {
      state.SkipWithError("the batch was never painted");
      break;
    }
  }
}
BENCHMARK(BM_DiceBatchToPaint)->DenseRange(0, 1)->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tambrel
