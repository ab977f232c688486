// Preloaded (LD_PRELOAD) into the program being timed, so that the shipped
// binary itself is measured, unchanged and with no option of its own. When
// the application object is made it watches for the first Paint event; the
// window's first paint is handled, flushed to the display and done by the
// time the event loop runs the next zero timer. The probe then prints the
// monotonic clock in nanoseconds and ends the process; a driver that noted
// the clock before starting it takes the difference.
//
// It needs only QtCore, which every Qt program loads anyway, so it adds
// nothing to the libraries whose loading is being timed.
#include <time.h>

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace {

void ReportAndLeave() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  std::printf("%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
  std::fflush(stdout);
  std::_Exit(0);
}

class FirstPaint final : public QObject {
 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      QCoreApplication::instance()->removeEventFilter(this);
      QTimer::singleShot(0, ReportAndLeave);
    }
    return false;
  }
};

void WatchFirstPaint() { QCoreApplication::instance()->installEventFilter(new FirstPaint); }

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(WatchFirstPaint)
