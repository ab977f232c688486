#pragma once

#include <QDeadlineTimer>
#include <QEvent>
#include <QObject>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QResizeEvent>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

#include "app/session.h"
#include "runtime/services.h"
#include "support/recording_services.h"
#include "window/frm_tambrel.h"

// Sizes in failure messages as "WxH".
inline void PrintTo(const QSize& size, std::ostream* os) { *os << size.width() << "x" << size.height(); }

namespace tambrel::testing {

// The window manager acts on its own time; every wait is a poll with a
// generous ceiling, so a slow machine only makes a passing test slower.
inline constexpr int kWmTimeoutMs = 30000;
// Framing a new window waits on the window manager's start and on a busy
// machine's scheduler: as long as that takes, within CTest's timeout.
inline constexpr int kFramingTimeoutMs = 120000;

// Runs an X tool to completion; the tests act on the window from outside
// the process, as a user's window manager would.
struct ToolResult {
  bool ok = false;
  QString output;
};

inline ToolResult RunTool(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.setProcessChannelMode(QProcess::SeparateChannels);
  process.start(program, arguments);
  if (!process.waitForFinished(kWmTimeoutMs)) {
    process.kill();
    process.waitForFinished();
    return {false, QStringLiteral("%1 did not finish").arg(program)};
  }
  const bool ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
  QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
  if (!ok) output += QString::fromLocal8Bit(process.readAllStandardError());
  return {ok, output};
}

inline QString WindowIdArgument(WId id) { return QString::number(static_cast<qulonglong>(id)); }

// The sizes as the X server holds them, which is what the user sees. Qt's
// own geometry takes a written size as done before the window manager has
// answered, so it cannot tell a size that was refused from one applied.
struct ServerGeometry {
  QSize client;
  int frameLeft = 0;
  int frameRight = 0;
  int frameTop = 0;
  int frameBottom = 0;

  [[nodiscard]] QSize Outer() const {
    return {client.width() + frameLeft + frameRight, client.height() + frameTop + frameBottom};
  }
  [[nodiscard]] bool Framed() const { return frameTop > 0; }
};

inline std::optional<ServerGeometry> QueryServer(WId id) {
  const ToolResult geometry = RunTool(QStringLiteral("xdotool"),
                                      {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"),
                                       WindowIdArgument(id)});
  if (!geometry.ok) return std::nullopt;
  ServerGeometry result;
  for (const QString& line : geometry.output.split(QLatin1Char('\n'))) {
    if (line.startsWith(QStringLiteral("WIDTH="))) result.client.setWidth(line.mid(6).toInt());
    if (line.startsWith(QStringLiteral("HEIGHT="))) result.client.setHeight(line.mid(7).toInt());
  }
  // "_NET_FRAME_EXTENTS(CARDINAL) = left, right, top, bottom", or a line
  // saying it is not set before the window manager has framed the window.
  const ToolResult extents = RunTool(
      QStringLiteral("xprop"), {QStringLiteral("-id"), WindowIdArgument(id), QStringLiteral("_NET_FRAME_EXTENTS")});
  if (!extents.ok) return std::nullopt;
  const qsizetype equals = extents.output.indexOf(QLatin1Char('='));
  if (equals >= 0) {
    const QStringList parts = extents.output.mid(equals + 1).split(QLatin1Char(','));
    if (parts.size() == 4) {
      result.frameLeft = parts[0].trimmed().toInt();
      result.frameRight = parts[1].trimmed().toInt();
      result.frameTop = parts[2].trimmed().toInt();
      result.frameBottom = parts[3].trimmed().toInt();
    }
  }
  return result;
}

// Where the server shows the window's frame on the screen: xwininfo's
// absolute place of the client area, less the frame's left and top.
inline std::optional<QRect> ServerFrame(WId id) {
  const std::optional<ServerGeometry> geometry = QueryServer(id);
  const ToolResult info = RunTool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), WindowIdArgument(id)});
  if (!geometry || !info.ok) return std::nullopt;
  QPoint client(-1, -1);
  for (const QString& line : info.output.split(QLatin1Char('\n'))) {
    const QString field = line.section(QLatin1Char(':'), 0, 0).trimmed();
    const int value = line.section(QLatin1Char(':'), 1).trimmed().toInt();
    if (field == QStringLiteral("Absolute upper-left X")) client.setX(value);
    if (field == QStringLiteral("Absolute upper-left Y")) client.setY(value);
  }
  return QRect(client - QPoint(geometry->frameLeft, geometry->frameTop), geometry->Outer());
}

// Keeps the size carried by every QResizeEvent the window receives.
class ResizeRecorder final : public QObject {
 public:
  explicit ResizeRecorder(QObject* watched) { watched->installEventFilter(this); }

  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Resize) sizes.push_back(static_cast<QResizeEvent*>(event)->size());
    return false;
  }

  [[nodiscard]] bool Saw(const QSize& size) const {
    for (const QSize& seen : sizes) {
      if (seen == size) return true;
    }
    return false;
  }

  std::vector<QSize> sizes;
};

// The two ways another client asks the window manager for a new size.
enum class ExternalRequest {
  ConfigureRequest,  // XConfigureWindow on the client window (xdotool)
  NetMoveResize,     // a _NET_MOVERESIZE_WINDOW message (wmctrl)
};

inline const char* NameOf(ExternalRequest how) {
  return how == ExternalRequest::ConfigureRequest ? "ConfigureRequest" : "NetMoveResize";
}

inline void PrintTo(ExternalRequest how, std::ostream* os) { *os << NameOf(how); }

// A shown window that the window manager has framed and the size rules
// have settled, with every later QResizeEvent recorded.
class ManagedWindowTest : public ::testing::Test {
 protected:
  static constexpr int kFixedOuterWidthPx = 360;  // 5400 twips
  static constexpr int kMinOuterHeightPx = 267;   // 4000 twips, rounded up

  void SetUp() override {
    // The whole program, so that the main window's menu items open their
    // windows; its history in memory unless a test gives it a file.
    session_ = std::make_unique<TambrelSession>(services_, HistoryOpener());
    window_ = session_->Window();
    recorder_ = std::make_unique<ResizeRecorder>(window_);
    BeforeShow();
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_, kFramingTimeoutMs));
    id_ = window_->winId();
    ASSERT_TRUE(QTest::qWaitFor([this] { return Server().Framed() && window_->frameGeometry().height() > window_->height(); },
                                kFramingTimeoutMs))
        << "the window manager never framed the window";
  }

  // Left to the window manager's placement unless a test says otherwise.
  virtual void BeforeShow() {}
  [[nodiscard]] virtual History::Opener HistoryOpener() { return {}; }

  void TearDown() override {
    recorder_.reset();
    window_ = nullptr;
    session_.reset();
  }

  // The server's view; a failed query reads as an unframed, empty window so
  // that every wait on it simply times out with a clear message.
  [[nodiscard]] ServerGeometry Server() const { return QueryServer(id_).value_or(ServerGeometry{}); }

  // Waits until the server shows the fixed outer width, and Qt agrees.
  [[nodiscard]] bool WaitForFixedWidth() {
    return QTest::qWaitFor(
        [this] {
          return Server().Outer().width() == kFixedOuterWidthPx &&
                 window_->frameGeometry().width() == kFixedOuterWidthPx;
        },
        kWmTimeoutMs);
  }

  // Waits until no QResizeEvent has arrived for `quietMs`; this only ends
  // waits, it never decides a result.
  void WaitForQuiet(int quietMs = 300) {
    const QDeadlineTimer deadline(kWmTimeoutMs);
    std::size_t before = 0;
    do {
      before = recorder_->sizes.size();
      QTest::qWait(quietMs);
    } while (recorder_->sizes.size() != before && !deadline.hasExpired());
  }

  // Asks for a new client size the way another X client would, so that the
  // window manager carries it out and the window learns of it only from the
  // server, as it does when a user drags an edge.
  void RequestClientSize(const QSize& size, ExternalRequest how) {
    const QString width = QString::number(size.width());
    const QString height = QString::number(size.height());
    const ToolResult result =
        how == ExternalRequest::ConfigureRequest
            ? RunTool(QStringLiteral("xdotool"), {QStringLiteral("windowsize"), WindowIdArgument(id_), width, height})
            : RunTool(QStringLiteral("wmctrl"),
                      {QStringLiteral("-i"), QStringLiteral("-r"), WindowIdArgument(id_), QStringLiteral("-e"),
                       QStringLiteral("0,-1,-1,%1,%2").arg(width, height)});
    ASSERT_TRUE(result.ok) << result.output.toStdString();
  }

  // Adds or removes _NET_WM_STATE flags through the window manager.
  void ChangeWmState(const QString& action) {
    const ToolResult result = RunTool(
        QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-r"), WindowIdArgument(id_),
                                   QStringLiteral("-b"), action});
    ASSERT_TRUE(result.ok) << result.output.toStdString();
  }

  // The limits hold for the client area the server shows; Qt is waited on
  // first so that the window has had its Resize for that area.
  void ExpectLimitsMatchServerClientArea() {
    ASSERT_TRUE(QTest::qWaitFor([this] { return window_->size() == Server().client; }, kWmTimeoutMs))
        << "Qt never caught up with the server's client size";
    const QSize client = Server().client;
    EXPECT_EQ(window_->Fields().sngRightLimit, static_cast<float>(client.width() * 15 - 1000));
    EXPECT_EQ(window_->Fields().sngBottomLimit, static_cast<float>(client.height() * 15 - 500));
  }

  RecordingServices services_;
  std::unique_ptr<TambrelSession> session_;
  frmTambrel* window_ = nullptr;
  std::unique_ptr<ResizeRecorder> recorder_;
  WId id_ = 0;
};

}  // namespace tambrel::testing
