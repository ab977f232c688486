#include <time.h>

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "runtime/conversions.h"
#include "runtime/qt_services.h"
#include "support/message_box_watch.h"
#include "window/frm_tambrel.h"
#include "window/layout_table.h"

namespace tambrel {
namespace {

constexpr int kTimeoutMs = 10000;
constexpr int kFixedOuterWidthPx = 360;  // 5400 twips
constexpr int kMinOuterHeightPx = 267;   // 4000 twips, rounded up

// Counts the window's Resize events.
class ResizeCounter final : public QObject {
 public:
  explicit ResizeCounter(QObject* watched) { watched->installEventFilter(this); }
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Resize) ++count;
    return false;
  }
  int count = 0;
};

double ProcessCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The real window with the program's own services, shown on weston. Weston
// lets a client choose its own size in the normal state; Qt draws the frame
// itself (weston offers no server-side decorations), so the outer size is
// the client area with Qt's decoration margins around it.
class WaylandWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<frmTambrel>(services_);
    services_.SetParentWindow(window_.get());
    resizes_ = std::make_unique<ResizeCounter>(window_.get());
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get(), kTimeoutMs));
    ASSERT_TRUE(QTest::qWaitFor([this] { return OuterWidth() == kFixedOuterWidthPx; }, kTimeoutMs))
        << "outer width " << OuterWidth();
    WaitForQuiet();
  }

  void TearDown() override {
    resizes_.reset();
    window_.reset();
  }

  [[nodiscard]] int OuterWidth() const { return window_->frameGeometry().width(); }
  [[nodiscard]] int OuterHeight() const { return window_->frameGeometry().height(); }

  // Ends waits only, never decides a result.
  void WaitForQuiet() {
    for (int before = -1; before != resizes_->count;) {
      before = resizes_->count;
      QTest::qWait(300);
    }
  }

  void ExpectLimitsMatchClientArea() {
    EXPECT_EQ(window_->Fields().sngRightLimit, static_cast<float>(window_->width() * 15 - 1000));
    EXPECT_EQ(window_->Fields().sngBottomLimit, static_cast<float>(window_->height() * 15 - 500));
  }

  void Report(const char* what) {
    std::printf("[weston] %s: client %dx%d, outer %dx%d\n", what, window_->width(), window_->height(),
                OuterWidth(), OuterHeight());
  }

  template <typename T>
  T* Find(const QString& name) {
    T* widget = window_->findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name.toStdString();
    return widget;
  }

  QtServices services_;
  std::unique_ptr<frmTambrel> window_;
  std::unique_ptr<ResizeCounter> resizes_;
};

TEST_F(WaylandWindowTest, ShowsNativelyWithItsTitleAndEveryControl) {
  EXPECT_EQ(QGuiApplication::platformName(), QStringLiteral("wayland"));
  EXPECT_EQ(window_->windowTitle(), QStringLiteral("Tambrel Generation"));
  for (const ControlLayout& control : kLayout) {
    if (control.kind == ControlKind::ResultLabel) continue;
    QString name = QString::fromUtf8(control.name);
    if (control.element >= 0) name += QLatin1Char('_') + QString::number(control.element);
    const QWidget* widget = Find<QWidget>(name);
    if (widget == nullptr) continue;
    EXPECT_TRUE(widget->isVisible()) << name.toStdString();
    EXPECT_TRUE(window_->rect().contains(widget->geometry())) << name.toStdString();
  }
  EXPECT_NE(Find<QWidget>(QString::fromUtf8(kLine1.name)), nullptr);
}

TEST_F(WaylandWindowTest, NormalStateHoldsTheFixedWidthAndMinimumHeight) {
  Report("first show");
  EXPECT_GE(OuterHeight(), kMinOuterHeightPx);
  EXPECT_GT(OuterHeight(), window_->height()) << "Qt's own frame is drawn around the client area";
  ExpectLimitsMatchClientArea();

  // Sizes that break the rules, as a configure from the compositor would
  // bring them: too narrow and too low, then wider and taller.
  window_->resize(200, 100);
  ASSERT_TRUE(QTest::qWaitFor(
      [this] { return OuterWidth() == kFixedOuterWidthPx && OuterHeight() >= kMinOuterHeightPx; }, kTimeoutMs))
      << "outer " << OuterWidth() << "x" << OuterHeight();
  WaitForQuiet();
  Report("after 200x100");
  ExpectLimitsMatchClientArea();

  window_->resize(500, 480);
  ASSERT_TRUE(QTest::qWaitFor([this] { return OuterWidth() == kFixedOuterWidthPx; }, kTimeoutMs));
  WaitForQuiet();
  Report("after 500x480");
  EXPECT_EQ(window_->height(), 480) << "a taller window keeps its height";
  ExpectLimitsMatchClientArea();
}

TEST_F(WaylandWindowTest, MaximisingWidensTheLimitsAndRestoringBringsBackTheWidth) {
  window_->showMaximized();
  ASSERT_TRUE(QTest::qWaitFor([this] { return window_->isMaximized() && window_->width() > kFixedOuterWidthPx; },
                              kTimeoutMs))
      << "never maximised";
  WaitForQuiet();
  Report("maximised");
  ExpectLimitsMatchClientArea();
  EXPECT_GT(window_->Fields().sngRightLimit, static_cast<float>(kFixedOuterWidthPx * 15));

  window_->showNormal();
  ASSERT_TRUE(QTest::qWaitFor([this] { return !window_->isMaximized() && OuterWidth() == kFixedOuterWidthPx; },
                              kTimeoutMs))
      << "outer width " << OuterWidth();
  WaitForQuiet();
  Report("restored");
  EXPECT_GE(OuterHeight(), kMinOuterHeightPx);
  ExpectLimitsMatchClientArea();
}

// The whole road on a real compositor, real message boxes included.
TEST_F(WaylandWindowTest, ARunPlacesItsValuesAndSumAndAvgOpenTheirBoxes) {
  Find<QLineEdit>(QStringLiteral("txtNum"))->setText(QStringLiteral("6"));
  Find<QLineEdit>(QStringLiteral("txtRolled"))->setText(QStringLiteral("5"));
  QTest::mouseClick(Find<QPushButton>(QStringLiteral("cmdGenerate")), Qt::LeftButton);
  ASSERT_EQ(window_->lblNum().Count(), 6);
  int sum = 0;
  for (int i = 1; i <= 5; ++i) {
    const Label& label = window_->lblNum()[i];
    EXPECT_TRUE(label.visible);
    const int value = std::stoi(label.caption);
    EXPECT_GE(value, 1);
    EXPECT_LE(value, 6);
    sum += value;
  }

  std::vector<QString> seen;
  const testing::MessageBoxWatch watch([&seen](QMessageBox& box) { seen.push_back(box.text()); });
  QTest::mouseClick(Find<QPushButton>(QStringLiteral("cmdSum")), Qt::LeftButton);
  QTest::mouseClick(Find<QPushButton>(QStringLiteral("cmdAvg")), Qt::LeftButton);
  const auto average = RoundToInt32(sum / 5.0);
  ASSERT_TRUE(average.has_value());
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], QStringLiteral("The Sum is: %1").arg(sum));
  EXPECT_EQ(seen[1], QStringLiteral("The Average is: %1").arg(*average));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "both boxes closed again";
  EXPECT_TRUE(window_->isVisible());
}

TEST_F(WaylandWindowTest, GoesIdleOnceShown) {
  const int resizesBefore = resizes_->count;
  const double cpuBefore = ProcessCpuMs();
  QTest::qWait(2000);
  const double cpuMs = ProcessCpuMs() - cpuBefore;
  std::printf("[weston] idle: %d resizes and %.1f ms of CPU in 2 s\n", resizes_->count - resizesBefore, cpuMs);
  EXPECT_EQ(resizes_->count, resizesBefore) << "no resize loop";
  EXPECT_LT(cpuMs, 100.0) << "no busy loop: under 5% of one core";
}

// Started as a user starts it, the program ends through Exit with status 0.
TEST(WaylandProgram, ExitEndsItWithStatusZero) {
  QProcess program;
  program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  program.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--start-and-exit")});
  ASSERT_TRUE(program.waitForFinished(20000)) << "the program did not end";
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
}

}  // namespace
}  // namespace tambrel
