#include "window/centring.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
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

const QScreen* ScreenOf(const QWidget& window) {
  const QScreen* screen = window.screen();
  return screen != nullptr ? screen : QGuiApplication::primaryScreen();
}

QRect AvailableArea(const QWidget& window) {
  const QScreen* screen = ScreenOf(window);
  return screen != nullptr ? screen->availableGeometry() : QRect();
}

// The available area in the X server's pixels. Under a scale factor Qt
// keeps a screen's corner in the server's pixels and scales only what lies
// within the screen, sizes and offsets from that corner.
QRect NativeArea(const QWidget& window, qreal ratio) {
  const QScreen* screen = ScreenOf(window);
  if (screen == nullptr) return {};
  const QRect area = screen->availableGeometry();
  const QPoint origin = screen->geometry().topLeft();
  return {origin + (area.topLeft() - origin) * ratio, area.size() * ratio};
}

bool Near(const QSize& a, const QSize& b, int tolerance) {
  return std::abs(a.width() - b.width()) <= tolerance && std::abs(a.height() - b.height()) <= tolerance;
}

bool Near(const QPoint& a, const QPoint& b, int tolerance) {
  return std::abs(a.x() - b.x()) <= tolerance && std::abs(a.y() - b.y()) <= tolerance;
}

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> Take(T* reply) {
  return Reply<T>(reply, &std::free);
}

xcb_intern_atom_cookie_t AskAtom(xcb_connection_t* connection, std::string_view name) {
  return xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data());
}

xcb_atom_t AtomOf(xcb_connection_t* connection, xcb_intern_atom_cookie_t asked) {
  const auto reply = Take(xcb_intern_atom_reply(connection, asked, nullptr));
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

xcb_window_t RootOf(xcb_connection_t* connection, xcb_window_t window) {
  const auto geometry = Take(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
  return geometry ? geometry->root : xcb_window_t{XCB_WINDOW_NONE};
}

// The window as the server shows it: mapped or not, its client area in
// the root's pixels, and the frame the window manager announces around it
// (nothing until it has).
struct ServerView {
  bool viewable = false;
  xcb_window_t root = XCB_WINDOW_NONE;
  QRect client;
  std::optional<QMargins> extents;

  [[nodiscard]] QRect Frame() const { return client.marginsAdded(extents.value_or(QMargins())); }
};

// The requests go out together and their answers come back together: one
// wait on the server rather than one each.
std::optional<ServerView> QueryServer(xcb_connection_t* connection, xcb_window_t window, xcb_window_t root,
                                      xcb_atom_t extents) {
  const auto attributesAsked = xcb_get_window_attributes(connection, window);
  const auto geometryAsked = xcb_get_geometry(connection, window);
  const auto cornerAsked = xcb_translate_coordinates(connection, window, root, 0, 0);
  const auto propertyAsked = xcb_get_property(connection, 0, window, extents, XCB_ATOM_CARDINAL, 0, 4);
  const auto attributes = Take(xcb_get_window_attributes_reply(connection, attributesAsked, nullptr));
  const auto geometry = Take(xcb_get_geometry_reply(connection, geometryAsked, nullptr));
  const auto corner = Take(xcb_translate_coordinates_reply(connection, cornerAsked, nullptr));
  const auto property = Take(xcb_get_property_reply(connection, propertyAsked, nullptr));
  if (!attributes || !geometry || !corner || geometry->root != root) return std::nullopt;
  ServerView view;
  view.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
  view.root = geometry->root;
  view.client = QRect(corner->dst_x, corner->dst_y, geometry->width, geometry->height);
  if (property && property->format == 32 && xcb_get_property_value_length(property.get()) == 16) {
    const auto* value = static_cast<const quint32*>(xcb_get_property_value(property.get()));
    // left, right, top, bottom
    view.extents = QMargins(static_cast<int>(value[0]), static_cast<int>(value[2]), static_cast<int>(value[1]),
                            static_cast<int>(value[3]));
  }
  return view;
}

// Asks the window manager to put the frame's top-left corner at `corner`.
// A plain configure request would be read by the window gravity of the
// size hints, which Qt rewrites as it learns of the frame and window
// managers read at different moments; this message names its gravity, and
// leaves the size alone.
void MoveFrame(xcb_connection_t* connection, xcb_window_t window, const ServerView& view, xcb_atom_t type,
               const QPoint& corner) {
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
  xcb_send_event(connection, 0, view.root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&message));
  xcb_flush(connection);
}

// On X11 a window manager may ignore or lose the position the window was
// given before it was mapped: it may place the frame before it knows the
// size the window settles at, and a size the window writes while the frame
// is being made carries the position of that moment, which the window
// manager may read by the other gravity. So once the server shows the
// window mapped and framed, and any size the window wrote has been
// answered (a size written after the move would carry the place from
// before it), the frame is moved to the centre. Qt may learn of the frame
// only from that move, and the size rules then change the size, keeping
// the top-left corner; once they are done the corner is put right. A frame
// moved from outside in the meantime, as a user drags it, stays where it is.
class FrameCentring final : public QObject, public QAbstractNativeEventFilter {
 public:
  FrameCentring(QWidget& window, xcb_connection_t* connection, std::function<QSize(QSize)> settled)
      : QObject(&window),
        window_(&window),
        connection_(connection),
        settled_(std::move(settled)) {
    const auto extentsAsked = AskAtom(connection, "_NET_FRAME_EXTENTS");
    const auto moveAsked = AskAtom(connection, "_NET_MOVERESIZE_WINDOW");
    extentsAtom_ = AtomOf(connection, extentsAsked);
    moveAtom_ = AtomOf(connection, moveAsked);
    qApp->installNativeEventFilter(this);
    // The server's own events prompt each look; the poll only brings the
    // deadlines round where the server stays silent.
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &FrameCentring::Check);
    poll_.start();
  }

  ~FrameCentring() override { qApp->removeNativeEventFilter(this); }

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/) override {
    if (eventType != "xcb_generic_event_t" || window_ == nullptr) return false;
    const auto id = static_cast<xcb_window_t>(window_->internalWinId());
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if (id == 0 || AboutWindow(event) != id) return false;
    if ((event->response_type & 0x7F) == XCB_MAP_NOTIFY) mapped_ = true;
    // Qt paints the window as it handles its first exposure: looking only
    // after it keeps the server's answers out of the way of the first paint.
    if ((event->response_type & 0x7F) == XCB_EXPOSE) exposed_ = true;
    if ((event->response_type & 0x7F) == XCB_CONFIGURE_NOTIFY) {
      const auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
      notifiedSize_ = QSize(configure->width, configure->height);
    }
    // The window manager tells of every move of the frame with a configure
    // notification of its own making, in the root's pixels.
    if (event->response_type == (XCB_CONFIGURE_NOTIFY | 0x80)) {
      const auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
      NoteMove(QRect(configure->x, configure->y, configure->width, configure->height));
    }
    if (exposed_ && !queued_) {
      queued_ = true;
      // Looked at once Qt has handled the event, and the size rules with it.
      QTimer::singleShot(0, this, &FrameCentring::Check);
    }
    return false;
  }

 private:
  static xcb_window_t AboutWindow(const xcb_generic_event_t* event) {
    switch (event->response_type & 0x7F) {
      case XCB_CONFIGURE_NOTIFY:
        return reinterpret_cast<const xcb_configure_notify_event_t*>(event)->window;
      case XCB_REPARENT_NOTIFY:
        return reinterpret_cast<const xcb_reparent_notify_event_t*>(event)->window;
      case XCB_MAP_NOTIFY:
        return reinterpret_cast<const xcb_map_notify_event_t*>(event)->window;
      case XCB_EXPOSE:
        return reinterpret_cast<const xcb_expose_event_t*>(event)->window;
      case XCB_PROPERTY_NOTIFY:
        return reinterpret_cast<const xcb_property_notify_event_t*>(event)->window;
      default:
        return XCB_WINDOW_NONE;
    }
  }

  // A user's drag, or a pager's move, changes the place and not the size,
  // and to a place neither this code nor the window asked for. Qt writes
  // its place again with every size, rounded through its own pixels under
  // a scale factor.
  void NoteMove(const QRect& client) {
    const int tolerance = static_cast<int>(std::ceil(window_->devicePixelRatioF()));
    if (mapped_ && lastClient_.isValid() && client.size() == lastClient_.size() &&
        !Near(client.topLeft(), lastClient_.topLeft(), tolerance) &&
        !(movedClient_ && Near(client.topLeft(), *movedClient_, tolerance))) {
      movedFromOutside_ = true;
    }
    lastClient_ = client;
  }

  void Check() {
    queued_ = false;
    if (window_ == nullptr || moveAtom_ == XCB_ATOM_NONE) return Done();
    const auto id = static_cast<xcb_window_t>(window_->internalWinId());
    if (id == 0 || !window_->isVisible() || !exposed_) return;
    // A window maximised, minimised or made full screen is placed by the
    // window manager.
    if (window_->windowState() != Qt::WindowNoState) return Done();
    if (movedFromOutside_) return Done();
    if (root_ == XCB_WINDOW_NONE) root_ = RootOf(connection_, id);
    const std::optional<ServerView> view = QueryServer(connection_, id, root_, extentsAtom_);
    if (!view || !view->viewable) return;
    if (!deadline_.isValid()) deadline_.start();
    // A window manager that announces no frame is left to place the window.
    if (!view->extents) {
      if (deadline_.hasExpired(kFramingMs)) Done();
      return;
    }

    // Until the server's news of its size has reached Qt, the size rules
    // have not had their say on it.
    if (view->client.size() != notifiedSize_) return;

    const QRect frame = view->Frame();
    const qreal ratio = window_->devicePixelRatioF();
    const int tolerance = static_cast<int>(std::ceil(ratio));
    // Qt takes a size it writes as done at once: until the server shows it
    // too, the window manager's answer is still to come.
    const bool answered = Near(window_->size() * ratio, view->client.size(), tolerance);
    arrived_ = arrived_ || (corner_ && Near(frame.topLeft(), *corner_, tolerance));
    const QPoint centred = CentredCorner(frame.size(), NativeArea(*window_, ratio));
    // The size rules have nothing more to write once Qt keeps the size it
    // has for the frame it knows, and as long as it has not learnt of the
    // frame they have nothing to write it for. Qt rounds each side of the
    // frame to its own pixels.
    const QSize outer = window_->frameGeometry().size();
    const QMargins& extents = *view->extents;
    const auto own = [ratio](int pixels) { return qRound(pixels / ratio); };
    const QSize known = window_->size() + QSize(own(extents.left()) + own(extents.right()),
                                                own(extents.top()) + own(extents.bottom()));
    const bool knowsFrame = Near(outer, known, 1);
    const bool content = !settled_ || settled_(outer) == outer;

    if (!corner_) {
      if (!(answered && (content || !knowsFrame)) && !deadline_.hasExpired(kSettleMs)) return;
      corner_ = centred;
      movedClient_ = centred + QPoint(extents.left(), extents.top());
      MoveFrame(connection_, id, *view, moveAtom_, centred);
      deadline_.start();
      return;
    }
    // Qt may learn of the frame only from the move; the rules' size keeps
    // the top-left corner, and the corner is put right once they are done.
    if (!(arrived_ && answered && knowsFrame && content) && !deadline_.hasExpired(kSettleMs)) return;
    if (frame.topLeft() != centred) {
      movedClient_ = centred + QPoint(extents.left(), extents.top());
      MoveFrame(connection_, id, *view, moveAtom_, centred);
    }
    Done();
  }

  void Done() {
    poll_.stop();
    qApp->removeNativeEventFilter(this);
    window_ = nullptr;
    deleteLater();
  }

  static constexpr int kPollMs = 50;
  // How long an answer from the window manager is waited for, from the
  // window's map and again from the move: it comes within a few
  // milliseconds even on a busy machine.
  static constexpr int kSettleMs = 1000;
  // How long the frame is waited for once the window is mapped; window
  // managers announce it as they map the window.
  static constexpr int kFramingMs = 10000;

  QPointer<QWidget> window_;
  xcb_connection_t* connection_;
  std::function<QSize(QSize)> settled_;
  xcb_atom_t extentsAtom_ = XCB_ATOM_NONE;
  xcb_atom_t moveAtom_ = XCB_ATOM_NONE;
  xcb_window_t root_ = XCB_WINDOW_NONE;
  bool exposed_ = false;
  QTimer poll_;
  QElapsedTimer deadline_;
  std::optional<QPoint> corner_;       // where the frame was moved
  std::optional<QPoint> movedClient_;  // and the client area with it
  bool arrived_ = false;               // and the server has shown it there
  bool mapped_ = false;
  QSize notifiedSize_;  // the client area's size in the server's last news
  QRect lastClient_;
  bool movedFromOutside_ = false;
  bool queued_ = false;
};

}  // namespace

void CentreOnScreen(QWidget& window, std::function<QSize(QSize frame)> settled) {
  const QRect area = AvailableArea(window);
  if (area.isEmpty()) return;
  // Before the first show the frame is not known: the size the window will
  // settle at is placed so that a window manager that honours the position
  // puts the window near the centre at once. Wayland's compositor places
  // windows itself.
  window.move(CentredCorner(settled ? settled(window.size()) : window.size(), area));
  const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 != nullptr && x11->connection() != nullptr) {
    new FrameCentring(window, x11->connection(), std::move(settled));
  }
}

}  // namespace tambrel
