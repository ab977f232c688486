#include "app/application.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/session.h"
#include "runtime/qt_services.h"
#include "runtime/sqlite_history_store.h"
#include "window/centring.h"
#include "window/frm_tambrel.h"

namespace tambrel {
namespace {

constexpr char kNoDisplay[] =
    "tambrel: no display to open the window on.\n"
    "Start it from a desktop session, or set DISPLAY (X11) or WAYLAND_DISPLAY.\n";

bool HasDisplay() {
  const auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
  };
  return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

// A display that is named but cannot be reached makes Qt give up with a
// fatal message; say plainly what happened and leave without a core dump.
void ReportFatalStartup(QtMsgType type, const QMessageLogContext& /*context*/,
                        const QString& message) {
  std::fprintf(stderr, "%s\n", qPrintable(message));
  if (type == QtFatalMsg) {
    std::fputs(kNoDisplay, stderr);
    std::_Exit(EXIT_FAILURE);
  }
}

// The history file is opened once the window is on the screen, so that
// the first paint never waits for the disk.
class OpenAfterFirstPaint final : public QObject {
 public:
  OpenAfterFirstPaint(QWidget& window, History& history) : QObject(&window), history_(history) {
    window.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      watched->removeEventFilter(this);
      QTimer::singleShot(0, this, [this] { history_.Open(); });
    }
    return false;
  }

 private:
  History& history_;
};

}  // namespace

int RunTambrel(char* programName, ShownHook onShown) {
  if (!HasDisplay()) {
    std::fputs(kNoDisplay, stderr);
    return EXIT_FAILURE;
  }
  // Only the program's name is passed on: no option can change how it runs.
  int argc = 1;
  char* argv[] = {programName, nullptr};
  const QtMessageHandler previous = qInstallMessageHandler(ReportFatalStartup);
  QApplication app(argc, argv);
  qInstallMessageHandler(previous);
  QApplication::setApplicationName(QStringLiteral("Tambrel"));
  QApplication::setApplicationVersion(QStringLiteral("1.00"));
  // Ties the window to its menu entry, and so to its icon, once installed.
  // The icon is not looked up here: searching the icon theme would hold up
  // the first paint by several milliseconds, and the desktop shows the
  // entry's icon for the window anyway.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.tambrel.Tambrel"));

  QtServices services;
  TambrelSession session(services, HistoryFileOpener(DefaultHistoryPath()));
  // The window is the start-up object; it deletes itself when unloaded, and
  // the guarded pointer then reads as nothing.
  QPointer<frmTambrel> window = session.Window();
  window->setAttribute(Qt::WA_DeleteOnClose);
  services.SetParentWindow(window);
  CentreOnScreen(*window, &frmTambrel::SettledOuterSize);
  new OpenAfterFirstPaint(*window, session.Record());
  window->show();
  if (onShown != nullptr) onShown(*window);
  return QApplication::exec();
}

}  // namespace tambrel
