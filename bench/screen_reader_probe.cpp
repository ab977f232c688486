// Times a full-grid run of the real window, maximised on the display it is
// given, from the click on "Generate Number" to the end of the paint that
// shows every value, and prints one line:
//
//   accessible=0|1 values=N ms=T1,T2,...
//
// accessible tells whether Qt's bridge to the screen reader was active, so
// that the driver knows which of its runs a screen reader was listening to.
//
//   tambrel_screen_reader_probe RUNS
#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/qt_services.h"
#include "window/frm_tambrel.h"

namespace {

// Answers every message box at once, with the real generator and clock.
class ProbeServices final : public tambrel::Services {
 public:
  void MsgBox(std::string_view, tambrel::MsgStyle, std::string_view) override {}
  bool AskYesNo(std::string_view, std::string_view) override { return false; }
  std::optional<std::string> AskText(std::string_view, std::string_view, std::string_view) override {
    return std::nullopt;
  }
  void Beep() override {}
  void Randomize() override { real_.Randomize(); }
  tambrel::RandomGenerator& Random() override { return real_.Random(); }

 private:
  tambrel::QtServices real_;
};

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  ProbeServices services;
  tambrel::frmTambrel window(services);
  window.showMaximized();
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  // The window manager maximises on its own time.
  QTest::qWait(1000);
  window.findChild<QLineEdit*>(QStringLiteral("txtNum"))->setText(QStringLiteral("6"));
  window.findChild<QLineEdit*>(QStringLiteral("txtRolled"))->setText(QStringLiteral("32767"));
  auto* generate = window.findChild<QPushButton*>(QStringLiteral("cmdGenerate"));
  auto* clear = window.findChild<QPushButton*>(QStringLiteral("cmdClear"));

  std::string times;
  for (int run = 0; run < runs; ++run) {
    clear->click();
    // Whatever a screen reader asks after the last run is answered before
    // the next one starts.
    QTest::qWait(500);
    QElapsedTimer timer;
    timer.start();
    generate->click();
    QApplication::processEvents();
    times += (times.empty() ? "" : ",") + std::to_string(static_cast<double>(timer.nsecsElapsed()) / 1e6);
  }
  std::printf("accessible=%d values=%d ms=%s\n", QAccessible::isActive() ? 1 : 0,
              window.Fields().intNextLabel - 1, times.c_str());
  return 0;
}
