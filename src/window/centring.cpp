#include "window/centring.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QObject>
#include <QRect>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <utility>
#include <xcb/xcb.h>

namespace tambrel {
namespace {

// The top-left corner that centres a frame of this size on the area; a
// frame larger than the area keeps its title bar on it.
QPoint CentredCorner(const QSize& frame, const QRect& area) {
  QRect placed({}, frame);
  placed.moveCenter(area.center());
  return {std::max(placed.left(), area.left()), std::max(placed.top(), area.top())};
}

QRect AvailableArea(const QWidget& window) {
  const QScreen* screen = window.screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->availableGeometry() : QRect();
}

// The frame the window manager has put around the window, as it announces
// it on the server; nothing until it has. Read here rather than from Qt,
// which keeps whatever it read first, and may have read it before the
// window manager wrote it.
xcb_atom_t Atom(xcb_connection_t* connection, std::string_view name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 1, static_cast<std::uint16_t>(name.size()), name.data()),
      nullptr);
  if (reply == nullptr) return XCB_ATOM_NONE;
  const xcb_atom_t atom = reply->atom;
  std::free(reply);
  return atom;
}

std::optional<QMargins> ServerFrameExtents(xcb_connection_t* connection, xcb_window_t window) {
  const xcb_atom_t name = Atom(connection, "_NET_FRAME_EXTENTS");
  if (name == XCB_ATOM_NONE) return std::nullopt;
  xcb_get_property_reply_t* reply = xcb_get_property_reply(
      connection, xcb_get_property(connection, 0, window, name, XCB_ATOM_CARDINAL, 0, 4), nullptr);
  if (reply == nullptr) return std::nullopt;
  std::optional<QMargins> extents;
  if (reply->format == 32 && xcb_get_property_value_length(reply) == 16) {
    const auto* value = static_cast<const quint32*>(xcb_get_property_value(reply));
    // left, right, top, bottom
    extents = QMargins(static_cast<int>(value[0]), static_cast<int>(value[2]),
                       static_cast<int>(value[1]), static_cast<int>(value[3]));
  }
  std::free(reply);
  return extents;
}

// Asks the window manager to put the frame's top-left corner at `corner`.
// A plain configure request would be read by the window gravity of the
// size hints, which Qt rewrites as it likes and window managers read
// differently; this message names its gravity, and leaves the size alone.
void MoveFrame(xcb_connection_t* connection, xcb_window_t window, const QPoint& corner) {
  const xcb_atom_t type = Atom(connection, "_NET_MOVERESIZE_WINDOW");
  if (type == XCB_ATOM_NONE) return;
  constexpr std::uint32_t kNorthWest = 1;
  constexpr std::uint32_t kXAndY = (1U << 8) | (1U << 9);
  constexpr std::uint32_t kFromApplication = 1U << 12;
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = type;
  message.data.data32[0] = kNorthWest | kXAndY | kFromApplication;
  message.data.data32[1] = static_cast<std::uint32_t>(corner.x());
  message.data.data32[2] = static_cast<std::uint32_t>(corner.y());
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  xcb_send_event(connection, 0, root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&message));
  xcb_flush(connection);
}

// On X11 a window manager may ignore or lose the position the window was
// given before it was mapped: openbox reparents the window into its frame
// before it places the frame, and a size the window writes in between
// carries the position of that moment, the screen's corner, which openbox
// then obeys. Once the window has been mapped and activated and its frame
// is known, the window is moved once so that its frame is centred.
class FrameCentring final : public QObject {
 public:
  FrameCentring(QWidget& window, xcb_connection_t* connection, std::function<QSize(QSize)> settled)
      : QObject(&window), window_(window), connection_(connection), settled_(std::move(settled)) {
    window.installEventFilter(this);
    // Only the first show is placed: where the window manager never frames
    // or activates the window, a later activation, after the user may have
    // moved it, must not move it back.
    QTimer::singleShot(kFirstShowMs, this, &FrameCentring::Done);
  }

  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::WindowActivate && !queued_) {
      queued_ = true;
      // After the window's own handling of this event, so that a size it
      // writes in answer to its frame is written first, and then its place.
      QTimer::singleShot(0, this, &FrameCentring::MoveOnce);
    }
    return false;
  }

 private:
  void MoveOnce() {
    queued_ = false;
    QWindow* handle = window_.windowHandle();
    if (handle == nullptr || !handle->isExposed()) return;
    const std::optional<QMargins> extents =
        ServerFrameExtents(connection_, static_cast<xcb_window_t>(handle->winId()));
    if (!extents) return;  // not framed yet: the next activation tries again
    if (window_.windowState() == Qt::WindowNoState) {
      // The size the window settles at, whether or not it has adjusted to
      // its frame yet: an adjustment keeps the top-left corner.
      QSize frame = window_.size().grownBy(*extents);
      if (settled_) frame = settled_(frame);
      MoveFrame(connection_, static_cast<xcb_window_t>(handle->winId()),
                CentredCorner(frame, AvailableArea(window_)));
    }
    Done();
  }

  void Done() {
    window_.removeEventFilter(this);
    deleteLater();
  }

  static constexpr int kFirstShowMs = 10000;

  QWidget& window_;
  xcb_connection_t* connection_;
  std::function<QSize(QSize)> settled_;
  bool queued_ = false;
};

}  // namespace

void CentreOnScreen(QWidget& window, std::function<QSize(QSize frame)> settled) {
  const QRect area = AvailableArea(window);
  if (area.isEmpty()) return;
  // Before the first show the frame is not known: the client area is placed
  // so that a window manager that honours the position puts the window near
  // the centre at once. Wayland's compositor places windows itself.
  window.move(CentredCorner(window.size(), area));
  const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 != nullptr && x11->connection() != nullptr) {
    new FrameCentring(window, x11->connection(), std::move(settled));
  }
}

}  // namespace tambrel
