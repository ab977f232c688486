#include <QRect>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>
#include <cstdlib>
#include <functional>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <tuple>

#include "window/centring.h"
#include "x11_harness.h"

namespace tambrel::testing {
namespace {

// Placed where the window manager chooses.
class FirstShowTest : public ManagedWindowTest {
 protected:
  void ExpectSettled() {
    ASSERT_TRUE(WaitForFixedWidth()) << "outer width on the server: " << Server().Outer().width()
                                     << ", in Qt: " << window_->frameGeometry().width();
    WaitForQuiet();
    const ServerGeometry server = Server();
    EXPECT_EQ(server.Outer().width(), kFixedOuterWidthPx);
    EXPECT_GE(server.Outer().height(), kMinOuterHeightPx);
    EXPECT_EQ(window_->frameGeometry().size(), server.Outer());
    ExpectLimitsMatchServerClientArea();
  }
};

TEST_F(FirstShowTest, FramedWindowTakesFixedWidthMinimumHeightAndMatchingLimits) { ExpectSettled(); }

// Centred as the program starts it: placed before it is shown, then moved
// once the window manager has framed it. Under openbox a size written while
// the window is being framed used to carry the screen's corner as its place;
// and placed windows are framed without a Move or Resize, so Qt could keep
// frame extents read before the window manager wrote them. The window here
// is built inside the test process; ShippedCentringTest starts the program.
class CentredFirstShowTest : public FirstShowTest {
 protected:
  void BeforeShow() override { CentreOnScreen(*window_, &frmTambrel::SettledOuterSize); }
};

TEST_F(CentredFirstShowTest, FramedWindowTakesFixedWidthMinimumHeightAndMatchingLimits) {
  ExpectSettled();
  const QRect area = window_->screen()->availableGeometry();
  std::optional<QRect> frame;
  const bool centred = QTest::qWaitFor(
      [&] {
        frame = ServerFrame(id_);
        if (!frame) return false;
        const QPoint off = frame->center() - area.center();
        return std::abs(off.x()) <= 2 && std::abs(off.y()) <= 2;
      },
      kWmTimeoutMs);
  ASSERT_TRUE(frame.has_value()) << "the server did not answer";
  EXPECT_TRUE(centred) << "frame at " << frame->x() << "," << frame->y() << " " << frame->width() << "x"
                       << frame->height() << " on an area of " << area.width() << "x" << area.height();
  EXPECT_TRUE(area.contains(frame->topLeft())) << "the title bar is off the screen";
}

// ---------------------------------------------------------------------------
// A size change that comes from outside, as a user's drag does.

struct OutsideResize {
  const char* name;
  int widthChange;      // added to the settled client width
  int clientHeight;     // asked-for client height, or 0 to keep the settled one
  bool heightIsKept;    // false: the outer height must come back to the minimum
};

void PrintTo(const OutsideResize& resize, std::ostream* os) { *os << resize.name; }

constexpr OutsideResize kOutsideResizes[] = {
    {"Wider", 240, 0, true},
    {"Narrower", -150, 0, true},
    {"Shorter", 0, 120, false},
    {"Taller", 0, 520, true},
    {"WiderAndShorter", 300, 100, false},
    {"WiderAndTaller", 300, 600, true},
};

class OutsideResizeTest : public ManagedWindowTest,
                          public ::testing::WithParamInterface<std::tuple<ExternalRequest, OutsideResize>> {};

TEST_P(OutsideResizeTest, FixedWidthAndMinimumHeightComeBackAndATallerHeightStays) {
  const auto [how, change] = GetParam();
  ASSERT_TRUE(WaitForFixedWidth());
  WaitForQuiet();
  const ServerGeometry settled = Server();
  const QSize asked(settled.client.width() + change.widthChange,
                    change.clientHeight > 0 ? change.clientHeight : settled.client.height());

  recorder_->sizes.clear();
  RequestClientSize(asked, how);
  // The window must have been given the new size before its answer counts.
  ASSERT_TRUE(QTest::qWaitFor([&] { return recorder_->Saw(asked); }, kWmTimeoutMs))
      << "the window manager never passed on " << asked.width() << "x" << asked.height();
  ASSERT_TRUE(WaitForFixedWidth()) << "outer width on the server: " << Server().Outer().width();
  WaitForQuiet();

  const ServerGeometry after = Server();
  EXPECT_EQ(after.Outer().width(), kFixedOuterWidthPx);
  if (change.heightIsKept) {
    EXPECT_EQ(after.client.height(), asked.height());
  } else {
    // The rules write exactly the minimum, not just anything above it.
    EXPECT_EQ(after.Outer().height(), kMinOuterHeightPx);
  }
  EXPECT_EQ(window_->frameGeometry().size(), after.Outer());
  ExpectLimitsMatchServerClientArea();
}

INSTANTIATE_TEST_SUITE_P(
    , OutsideResizeTest,
    ::testing::Combine(::testing::Values(ExternalRequest::ConfigureRequest, ExternalRequest::NetMoveResize),
                       ::testing::ValuesIn(kOutsideResizes)),
    [](const ::testing::TestParamInfo<OutsideResizeTest::ParamType>& param_info) {
      return std::string(NameOf(std::get<0>(param_info.param))) + "_" + std::get<1>(param_info.param).name;
    });

// ---------------------------------------------------------------------------
// Maximised, the size belongs to the window manager: only the limits follow.

enum class Maximizer { Qt, WindowManager };

void PrintTo(Maximizer maximizer, std::ostream* os) {
  *os << (maximizer == Maximizer::Qt ? "showMaximized" : "_NET_WM_STATE");
}

class MaximizeTest : public ManagedWindowTest, public ::testing::WithParamInterface<Maximizer> {
 protected:
  void Maximize() {
    if (GetParam() == Maximizer::Qt) {
      window_->showMaximized();
    } else {
      ChangeWmState(QStringLiteral("add,maximized_vert,maximized_horz"));
    }
  }
  void Restore() {
    if (GetParam() == Maximizer::Qt) {
      window_->showNormal();
    } else {
      ChangeWmState(QStringLiteral("remove,maximized_vert,maximized_horz"));
    }
  }
};

TEST_P(MaximizeTest, LeavesTheSizeAloneWidensTheLimitsAndRestoresTheFixedWidth) {
  ASSERT_TRUE(WaitForFixedWidth());
  WaitForQuiet();
  const float normalRight = window_->Fields().sngRightLimit;
  const float normalBottom = window_->Fields().sngBottomLimit;
  const QSize normalClient = window_->size();
  const int screenWidth = window_->screen()->availableGeometry().width();

  recorder_->sizes.clear();
  Maximize();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return window_->isMaximized() && Server().Outer().width() == screenWidth; }, kWmTimeoutMs))
      << "never maximised; outer width on the server: " << Server().Outer().width();
  WaitForQuiet();

  // Still maximised, and no write of the normal size was even tried: Qt
  // passes a written size straight back as a Resize.
  EXPECT_TRUE(window_->isMaximized());
  EXPECT_EQ(Server().Outer().width(), screenWidth);
  EXPECT_FALSE(recorder_->Saw(normalClient));
  ExpectLimitsMatchServerClientArea();
  EXPECT_GT(window_->Fields().sngRightLimit, normalRight);
  EXPECT_GT(window_->Fields().sngBottomLimit, normalBottom);

  Restore();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->isMaximized(); }, kWmTimeoutMs));
  ASSERT_TRUE(WaitForFixedWidth()) << "outer width on the server: " << Server().Outer().width();
  WaitForQuiet();
  EXPECT_EQ(Server().Outer().width(), kFixedOuterWidthPx);
  EXPECT_GE(Server().Outer().height(), kMinOuterHeightPx);
  ExpectLimitsMatchServerClientArea();
}

INSTANTIATE_TEST_SUITE_P(, MaximizeTest, ::testing::Values(Maximizer::Qt, Maximizer::WindowManager),
                         [](const ::testing::TestParamInfo<Maximizer>& param_info) {
                           return param_info.param == Maximizer::Qt ? "ShowMaximized" : "WmState";
                         });

// ---------------------------------------------------------------------------
// The rules answer a size once and then leave it: a window manager that
// will not take the written size must not be asked again and again.

class SettleTest : public ManagedWindowTest, public ::testing::WithParamInterface<ExternalRequest> {};

TEST_P(SettleTest, OneOutsideResizeBringsOnlyAFewResizes) {
  ASSERT_TRUE(WaitForFixedWidth());
  WaitForQuiet();
  const QSize asked = window_->size() + QSize(200, 150);

  recorder_->sizes.clear();
  RequestClientSize(asked, GetParam());
  ASSERT_TRUE(QTest::qWaitFor([&] { return recorder_->Saw(asked); }, kWmTimeoutMs));
  // A fixed window on purpose, from the moment the resize arrived: this
  // counts what follows it. A slower machine only delivers fewer events.
  QTest::qWait(1000);
  EXPECT_LE(recorder_->sizes.size(), 4U) << "the size rules and the window manager keep answering each other";
  ASSERT_TRUE(WaitForFixedWidth());
}

INSTANTIATE_TEST_SUITE_P(, SettleTest,
                         ::testing::Values(ExternalRequest::ConfigureRequest, ExternalRequest::NetMoveResize),
                         [](const ::testing::TestParamInfo<ExternalRequest>& param_info) { return NameOf(param_info.param); });

// ---------------------------------------------------------------------------
// A window manager that does not give the written size: it rounds it to the
// window's size increments, keeps a minimum larger than the fixed width, or
// holds the width of a window maximised across only. The window must take
// its answer once and keep its limits for the client area it really has.
//
// Disabled while the window writes its size with QWidget::resize: Qt then
// takes the size as done at once and sends the Resize for it itself, so
// where the window manager gives another size or refuses silently the
// window goes on believing, painting and setting its limits for a size it
// does not have. Writing through windowHandle()->resize() once shown fixes
// these, but Qt's offscreen platform then loses the write whenever its idea
// of the window state differs from the widget's (full screen, minimised),
// so that change waits; run these with --gtest_also_run_disabled_tests.

enum class Hold { SizeIncrement, MinimumWidth, HorizontalMaximise };

void PrintTo(Hold hold, std::ostream* os) {
  *os << (hold == Hold::SizeIncrement ? "SizeIncrement"
          : hold == Hold::MinimumWidth ? "MinimumWidth"
                                       : "HorizontalMaximise");
}

class HeldSizeTest : public ManagedWindowTest, public ::testing::WithParamInterface<Hold> {
 protected:
  // Sets the window manager's hints from the window and waits until the
  // server holds them, so that the next request is judged by them.
  void SetHint(const QString& expected, const std::function<void(QWindow&)>& set) {
    set(*window_->windowHandle());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          return RunTool(QStringLiteral("xprop"), {QStringLiteral("-id"), WindowIdArgument(id_),
                                                   QStringLiteral("WM_NORMAL_HINTS")})
              .output.contains(expected);
        },
        kWmTimeoutMs))
        << "the hint never reached the server";
  }
};

TEST_P(HeldSizeTest, DISABLED_TakesTheWindowManagersAnswerOnceAndTracksTheRealClientArea) {
  ASSERT_TRUE(WaitForFixedWidth());
  WaitForQuiet();
  recorder_->sizes.clear();
  switch (GetParam()) {
    case Hold::SizeIncrement:
      SetHint(QStringLiteral("resize increment: 50 by 1"), [](QWindow& handle) {
        handle.setBaseSize(QSize(0, 0));
        handle.setSizeIncrement(QSize(50, 1));
      });
      RequestClientSize(QSize(600, 300), ExternalRequest::ConfigureRequest);
      break;
    case Hold::MinimumWidth:
      SetHint(QStringLiteral("minimum size: 420 by"),
              [](QWindow& handle) { handle.setMinimumSize(QSize(420, 1)); });
      RequestClientSize(QSize(600, 300), ExternalRequest::ConfigureRequest);
      break;
    case Hold::HorizontalMaximise:
      ChangeWmState(QStringLiteral("add,maximized_horz"));
      break;
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return !recorder_->sizes.empty(); }, kWmTimeoutMs));
  WaitForQuiet();

  // The window manager kept its own width; the window must agree with it.
  EXPECT_NE(Server().Outer().width(), kFixedOuterWidthPx);
  EXPECT_FALSE(window_->isMaximized());
  EXPECT_EQ(window_->size(), Server().client) << "the window believes a size the server does not show";
  ExpectLimitsMatchServerClientArea();
}

INSTANTIATE_TEST_SUITE_P(, HeldSizeTest,
                         ::testing::Values(Hold::SizeIncrement, Hold::MinimumWidth, Hold::HorizontalMaximise),
                         [](const ::testing::TestParamInfo<Hold>& param_info) {
                           std::ostringstream name;
                           PrintTo(param_info.param, &name);
                           return name.str();
                         });

}  // namespace
}  // namespace tambrel::testing
