// Speed and memory of the draw, the result grid and its painting, each set
// beside what it is measured against in the same run.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <vector>

#include "bench_window.h"
#include "roll/draw.h"
#include "roll/result_grid.h"
#include "window/frm_tambrel.h"
#include "window/twips.h"

namespace tambrel {
namespace {

void BM_DrawRoll(benchmark::State& state) {
  BenchServices services;
  for (auto _ : state) benchmark::DoNotOptimize(DrawRoll(6, services));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawRoll);

void BM_PlaceResult(benchmark::State& state) {
  GridFields fields{0, 1, 1, 56600, 31900};  // a maximised 3840 x 2160 window
  LabelArray labels(Label{60, 2640, 450, 300, false, ""});
  ResultGrid grid(fields, labels);
  constexpr int kBatch = 1000;
  for (auto _ : state) {
    grid.ClearResults();
    for (int i = 0; i < kBatch; ++i) {
      benchmark::DoNotOptimize(grid.PlaceResult(6));
      ++fields.intNextLabel;
    }
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_PlaceResult);

// From the click on "Generate Number" to the end of the paint that shows
// every value of a full grid.
void BM_FullGridClickToPaint(benchmark::State& state) {
  MaximisedWindow maximised;
  TimeFullGridRuns(state, maximised);
}
BENCHMARK(BM_FullGridClickToPaint)->Unit(benchmark::kMillisecond);

// Heap held per value shown, beyond the empty window.
void BM_FullGridHeap(benchmark::State& state) {
  MaximisedWindow maximised;
  double perValue = 0;
  for (auto _ : state) {
    maximised.Click("cmdClear");
    QApplication::processEvents();
    const auto before = mallinfo2().uordblks;
    maximised.Click("cmdGenerate");
    QApplication::processEvents();
    const auto after = mallinfo2().uordblks;
    const int values = maximised.window.Fields().intNextLabel - 1;
    perValue = (static_cast<double>(after) - static_cast<double>(before)) / values;
  }
  state.counters["heap_bytes_per_value"] = perValue;
}
BENCHMARK(BM_FullGridHeap)->Iterations(1)->Unit(benchmark::kMillisecond);

// The positions and captions of a full grid, as plain data.
struct GridTexts {
  GridTexts() {
    GridFields fields{0, 1, 1, 56600, 31900};
    LabelArray labels(Label{60, 2640, 450, 300, false, ""});
    ResultGrid grid(fields, labels);
    BenchServices services;
    while (grid.PlaceResult(DrawRoll(6, services))) ++fields.intNextLabel;
    for (int i = 1; i < fields.intNextLabel; ++i) {
      const Label& label = labels[i];
      areas.push_back(TwipsToPixelsF(label.left, label.top, label.width, label.height));
      texts.push_back(QString::fromStdString(label.caption));
    }
  }
  std::vector<QRectF> areas;
  std::vector<QString> texts;
};

// The floor: one widget painting as many short texts from a plain list.
class TextsWidget final : public QWidget {
 public:
  explicit TextsWidget(const GridTexts& grid) : grid_(grid) {
    QFont font(QStringLiteral("Times New Roman"));
    font.setPointSizeF(11.25);
    font.setBold(true);
    setFont(font);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    for (std::size_t i = 0; i < grid_.texts.size(); ++i) {
      painter.drawText(grid_.areas[i], Qt::AlignLeft | Qt::AlignTop, grid_.texts[i]);
    }
  }

 private:
  const GridTexts& grid_;
};

void BM_FloorOneWidgetPaintsTexts(benchmark::State& state) {
  const GridTexts grid;
  TextsWidget widget(grid);
  widget.showMaximized();
  static_cast<void>(QTest::qWaitForWindowExposed(&widget));
  for (auto _ : state) {
    widget.update();
    QApplication::processEvents();
  }
  state.counters["values"] = static_cast<double>(grid.texts.size());
}
BENCHMARK(BM_FloorOneWidgetPaintsTexts)->Unit(benchmark::kMillisecond);

// The heavy way: one QLabel per value, from creating them to their paint.
void BM_OneQLabelPerValue(benchmark::State& state) {
  const GridTexts grid;
  QWidget window;
  window.showMaximized();
  static_cast<void>(QTest::qWaitForWindowExposed(&window));
  QFont font(QStringLiteral("Times New Roman"));
  font.setPointSizeF(11.25);
  font.setBold(true);
  for (auto _ : state) {
    std::vector<std::unique_ptr<QLabel>> labels;
    labels.reserve(grid.texts.size());
    for (std::size_t i = 0; i < grid.texts.size(); ++i) {
      auto label = std::make_unique<QLabel>(grid.texts[i], &window);
      label->setFont(font);
      label->setGeometry(grid.areas[i].toRect());
      label->show();
      labels.push_back(std::move(label));
    }
    QApplication::processEvents();
    state.PauseTiming();
    labels.clear();
    QApplication::processEvents();
    state.ResumeTiming();
  }
  state.counters["values"] = static_cast<double>(grid.texts.size());
}
BENCHMARK(BM_OneQLabelPerValue)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tambrel

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" TAMBREL_BENCH_SCREEN);
  }
  // A state folder of its own, so that no history of the user's is read or
  // written; removed, with the files made in it, on the way out.
  const QTemporaryDir state;
  if (!state.isValid()) return 1;
  qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
