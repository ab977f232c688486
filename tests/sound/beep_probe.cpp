// Types keys into the real window's number box, with the program's own
// services, and keeps the event loop running while the bell sounds, so that
// a recorder on the sound server hears what a user would.
//
//   tambrel_beep_probe KEYS [HOLD_MS]   type each character of KEYS
//   tambrel_beep_probe --bell-only      play one bell without a window
//
// Prints the number box's text afterwards and the longest time the event
// loop was held up after the first key: the cost of the first bell, which
// loads libcanberra and opens the connection to the sound server. With
// --bell-only it also prints whether libcanberra was in the process before
// and after the bell.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "runtime/event_sound.h"
#include "runtime/qt_services.h"
#include "window/frm_tambrel.h"

namespace {

bool CanberraLoaded() {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    if (line.find("/libcanberra.so") != std::string::npos) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: tambrel_beep_probe KEYS [HOLD_MS] | --bell-only\n", stderr);
    return 2;
  }
  if (std::strcmp(argv[1], "--bell-only") == 0) {
    const bool loadedBefore = CanberraLoaded();
    QElapsedTimer clock;
    clock.start();
    tambrel::EventSound sound;
    const bool played = sound.PlayBell();
    const double tookMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    std::printf("played=%d took_ms=%.1f loaded_before=%d loaded_after=%d\n", played ? 1 : 0, tookMs,
                loadedBefore ? 1 : 0, CanberraLoaded() ? 1 : 0);
    return 0;
  }
  const std::string keys = argv[1];
  const int holdMs = argc > 2 ? std::stoi(argv[2]) : 1500;

  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  tambrel::QtServices services;
  tambrel::frmTambrel window(services);
  services.SetParentWindow(&window);
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  auto* number = window.findChild<QLineEdit*>(QStringLiteral("txtNum"));
  number->setFocus();

  // A 1 ms tick; the widest gap between ticks is how long the loop stalled.
  QElapsedTimer clock;
  qint64 lastTick = 0;
  qint64 longestGap = 0;
  QTimer tick;
  tick.setTimerType(Qt::PreciseTimer);
  QObject::connect(&tick, &QTimer::timeout, &tick, [&] {
    const qint64 now = clock.nsecsElapsed();
    longestGap = std::max(longestGap, now - lastTick);
    lastTick = now;
  });
  clock.start();
  tick.start(1);
  for (const char key : keys) {
    QTest::keyClick(number, key);
    QTest::qWait(holdMs / static_cast<int>(keys.size()));
  }
  std::printf("text=\"%s\" longest_stall_ms=%.1f\n", qPrintable(number->text()),
              static_cast<double>(longestGap) / 1e6);
  return 0;
}
