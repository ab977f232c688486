#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>

#include "app/application.h"

namespace {

// Once the window is on screen, presses Exit as a user would.
void PressExitOnceShown(QWidget& window) {
  QTimer::singleShot(0, &window, [&window] {
    if (!QTest::qWaitForWindowExposed(&window)) std::_Exit(3);
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdExit")), Qt::LeftButton);
  });
}

}  // namespace

// One QApplication on the wayland platform for every test: these tests are
// about the window as a native client of a real compositor. With
// --start-and-exit the binary instead starts the program as it starts
// for a user and presses Exit, so that a test can read its exit status.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    std::fputs("tambrel_wayland_tests needs a Wayland compositor;\n"
               "run it through tests/wayland/run-under-weston.sh.\n",
               stderr);
    return 1;
  }
  qputenv("QT_QPA_PLATFORM", "wayland");
  if (argc > 1 && std::strcmp(argv[1], "--start-and-exit") == 0) {
    return tambrel::RunTambrel(argv[0], PressExitOnceShown);
  }
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
