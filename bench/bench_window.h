#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "app/session.h"
#include "runtime/qt_services.h"
#include "window/frm_tambrel.h"

namespace tambrel {

// Answers every message box at once, with the real generator and clock.
class BenchServices final : public Services {
 public:
  void MsgBox(std::string_view, MsgStyle, std::string_view) override { ++messages; }
  bool AskYesNo(std::string_view, std::string_view) override { return false; }
  std::optional<std::string> AskText(std::string_view, std::string_view, std::string_view) override {
    return std::nullopt;
  }
  void Beep() override {}
  void Randomize() override { real_.Randomize(); }
  RandomGenerator& Random() override { return real_.Random(); }
  int messages = 0;

 private:
  QtServices real_;
};

// The real window, maximised on a 3840 x 2160 screen: the whole program,
// keeping its history where `opener` says (in memory when it is empty).
struct MaximisedWindow {
  explicit MaximisedWindow(History::Opener opener = {})
      : session(services, std::move(opener)), window(*session.Window()) {
    window.showMaximized();
    static_cast<void>(QTest::qWaitForWindowExposed(&window));
    SetSides(6);
    window.findChild<QLineEdit*>(QStringLiteral("txtRolled"))->setText(QStringLiteral("32767"));
    QApplication::processEvents();
  }
  void SetSides(int sides) {
    window.findChild<QLineEdit*>(QStringLiteral("txtNum"))->setText(QString::number(sides));
  }
  void Click(const char* name) {
    window.findChild<QPushButton*>(QString::fromLatin1(name))->click();
  }
  BenchServices services;
  TambrelSession session;
  frmTambrel& window;
};

// From the click on "Generate Number" to the end of the paints that follow
// it, for a full grid each time; the Clear before it is not timed.
inline void TimeFullGridRuns(benchmark::State& state, MaximisedWindow& maximised) {
  for (auto _ : state) {
    state.PauseTiming();
    maximised.Click("cmdClear");
    QApplication::processEvents();
    state.ResumeTiming();
    maximised.Click("cmdGenerate");
    QApplication::processEvents();
  }
  state.counters["values"] = maximised.window.Fields().intNextLabel - 1;
}

}  // namespace tambrel
