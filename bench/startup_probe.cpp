// Starts one of three windows and prints the monotonic clock, in
// nanoseconds, once its first paint is done; a driver script that noted the
// clock before starting the process takes the difference.
//
//   tambrel_startup_probe tambrel|label|empty
#include <time.h>

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/application.h"

namespace {

void ReportAndLeave() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  std::printf("%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
  std::fflush(stdout);
  std::_Exit(0);
}

// The first Paint of the window is handled, flushed to the screen and done
// by the time the event loop runs the next zero timer.
class FirstPaint final : public QObject {
 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      watched->removeEventFilter(this);
      QTimer::singleShot(0, ReportAndLeave);
    }
    return false;
  }
};

void WatchFirstPaint(QWidget& window) { window.installEventFilter(new FirstPaint); }

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "tambrel";
  if (std::strcmp(mode, "tambrel") == 0) return tambrel::RunTambrel(argv[0], WatchFirstPaint);

  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  QWidget window;
  window.resize(360, 267);
  if (std::strcmp(mode, "label") == 0) {
    new QLabel(QStringLiteral("Tambrel Generation"), &window);
  }
  WatchFirstPaint(window);
  window.show();
  return QApplication::exec();
}
