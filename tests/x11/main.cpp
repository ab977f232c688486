#include <QApplication>
#include <cstdio>
#include <gtest/gtest.h>

// One QApplication on the xcb platform for every test: these tests are about
// what a real X server and window manager do to the window, which no other
// platform would show.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("DISPLAY")) {
    std::fputs("tambrel_x11_tests needs an X display with a window manager;\n"
               "run it through tests/x11/run-under-xvfb.sh.\n",
               stderr);
    return 1;
  }
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
