// Preloaded (LD_PRELOAD) into the shipped binary to time, from outside,
// Ctrl+Shift+R in the main window to the end of the Dice window's first
// paint, in a fresh process that has built no Dice window yet. It prints
// "ready" once the main window's first paint is done, for the driver to
// send the keys (bench/dice_open.py); then the monotonic clock in
// nanoseconds when the program got the R of the shortcut, and again once
// the Dice window's first paint is done, and ends the process.
#include <time.h>

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace {

long long Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

bool InDiceWindow(const QObject* watched) {
  for (const QObject* object = watched; object != nullptr; object = object->parent()) {
    if (object->objectName() == QLatin1String("frmDice")) return true;
  }
  return false;
}

class DiceOpened final : public QObject {
 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type == QEvent::Paint && !ready_) {
      ready_ = true;
      QTimer::singleShot(0, [] {
        std::printf("ready\n");
        std::fflush(stdout);
      });
    } else if ((type == QEvent::ShortcutOverride || type == QEvent::KeyPress) && pressed_ == 0 &&
               static_cast<QKeyEvent*>(event)->key() == Qt::Key_R) {
      // The shortcut is tried before the key is delivered, so the
      // override is the first the program sees of it.
      pressed_ = Now();
    } else if (type == QEvent::Paint && pressed_ != 0 && !painted_ && InDiceWindow(watched)) {
      painted_ = true;
      QTimer::singleShot(0, [pressed = pressed_] {
        std::printf("%lld %lld\n", pressed, Now());
        std::fflush(stdout);
        std::_Exit(0);
      });
    }
    return false;
  }

 private:
  bool ready_ = false;
  bool painted_ = false;
  long long pressed_ = 0;
};

void WatchDiceOpened() { QCoreApplication::instance()->installEventFilter(new DiceOpened); }

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(WatchDiceOpened)
