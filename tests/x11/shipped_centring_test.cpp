#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScreen>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <stop_token>
#include <thread>
#include <vector>

#include "x11_harness.h"

// The shipped program, started as a user starts it, in a process of its
// own; its frame is read from the X server, as the user's eye sees it.
namespace tambrel::testing {
namespace {

// The program has placed the frame within two seconds of its map.
constexpr int kStillMs = 1500;

// The frame once the window manager has framed the window and the frame
// has kept still; nothing if it never came. `framed` acts on the window as
// soon as it is framed, as a user may.
std::optional<QRect> SettledFrame(const QString& scale, const std::function<void(WId)>& framed = {}) {
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
  program.setProcessEnvironment(environment);
  program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  program.start(QStringLiteral(TAMBREL_BINARY), {});
  const QStringList search{QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                           QString::number(program.processId())};
  const QDeadlineTimer deadline(kFramingTimeoutMs);
  WId id = 0;
  while (!QueryServer(id).value_or(ServerGeometry{}).Framed() && !deadline.hasExpired()) {
    QThread::msleep(10);
    id = RunTool(QStringLiteral("xdotool"), search).output.section(QLatin1Char('\n'), 0, 0).toULongLong();
  }
  if (framed && id != 0) framed(id);
  std::optional<QRect> frame;
  for (QDeadlineTimer still(kStillMs); !still.hasExpired() && !deadline.hasExpired(); QThread::msleep(20)) {
    const std::optional<QRect> now = ServerFrame(id);
    if (now != frame) still.setRemainingTime(kStillMs);
    frame = now;
  }
  program.terminate();
  program.waitForFinished(kFramingTimeoutMs);
  return frame;
}

// CTest launches a few times in each case; TAMBREL_CENTRING_LAUNCHES=50
// (bench/centring.sh) makes the full count.
TEST(ShippedCentringTest, FrameIsCentredWithItsTitleBarOnTheScreenIdleAndBusyAtEachScale) {
  const int launches = std::max(1, qEnvironmentVariableIntValue("TAMBREL_CENTRING_LAUNCHES"));
  const QByteArray wm = qEnvironmentVariableIsEmpty("XVFB_WM") ? "openbox" : qgetenv("XVFB_WM");
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  for (const char* scale : {"1", "1.5", "2"}) {
    for (const bool busy : {false, true}) {
      std::vector<std::jthread> load;  // every core kept busy while it lives
      for (unsigned i = 0; busy && i < std::max(2U, std::thread::hardware_concurrency()); ++i) {
        load.emplace_back([](const std::stop_token& stop) {
          while (!stop.stop_requested()) {
          }
        });
      }
      std::vector<double> dx;
      std::vector<double> dy;
      int centred = 0;
      for (int i = 0; i < launches; ++i) {
        const std::optional<QRect> frame = SettledFrame(QString::fromLatin1(scale));
        ASSERT_TRUE(frame.has_value()) << "the window was never framed, at scale " << scale;
        dx.push_back((frame->left() + frame->right() - area.left() - area.right()) / 2.0);
        dy.push_back((frame->top() + frame->bottom() - area.top() - area.bottom()) / 2.0);
        const bool ok = std::abs(dx.back()) <= 2 && std::abs(dy.back()) <= 2 && area.contains(frame->topLeft());
        centred += ok ? 1 : 0;
        EXPECT_TRUE(ok) << "frame at " << frame->x() << "," << frame->y() << " " << frame->width() << "x"
                        << frame->height() << " at scale " << scale << (busy ? ", busy" : ", idle");
      }
      std::ranges::sort(dx);
      std::ranges::sort(dy);
      std::printf("%d of %d centred under %s at scale %s, %s, on %dx%d: dx %+.1f/%+.1f/%+.1f, dy %+.1f/%+.1f/%+.1f"
                  " (min/median/max)\n",
                  centred, launches, wm.constData(), scale, busy ? "busy" : "idle", area.width(), area.height(),
                  dx.front(), dx[dx.size() / 2], dx.back(), dy.front(), dy[dy.size() / 2], dy.back());
      std::fflush(stdout);
    }
  }
}

// A frame the user moves once the program has placed it stays where the
// user put it: the program moves it once, and never back, even while it
// still waits on the window manager's answers.
TEST(ShippedCentringTest, AFrameMovedOnceCentredStaysWhereItWasPut) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const QPoint put(40, 60);
  const std::optional<QRect> frame = SettledFrame(QStringLiteral("1"), [&](WId id) {
    const QDeadlineTimer deadline(kWmTimeoutMs);
    for (std::optional<QRect> now; !deadline.hasExpired(); QThread::msleep(5)) {
      now = ServerFrame(id);
      if (now && (now->center() - area.center()).manhattanLength() <= 4) break;
    }
    RunTool(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-r"), QString::number(id),
                                       QStringLiteral("-e"),
                                       QStringLiteral("0,%1,%2,-1,-1").arg(put.x()).arg(put.y())});
  });
  ASSERT_TRUE(frame.has_value()) << "the window was never framed";
  EXPECT_LE((frame->topLeft() - put).manhattanLength(), 60)
      << "frame at " << frame->x() << "," << frame->y() << ", put at " << put.x() << "," << put.y();
}

}  // namespace
}  // namespace tambrel::testing
