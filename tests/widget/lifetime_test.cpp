#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "support/recording_services.h"
#include "window/frm_tambrel.h"

namespace tambrel {
namespace {

using testing::RecordingServices;

enum class Ending { ExitButton, CloseBox };

class LifetimeTest : public ::testing::TestWithParam<Ending> {};

// Exit and the close box both unload the window, which takes its result
// labels with it, and the event loop ends with status 0 and no message.
TEST_P(LifetimeTest, UnloadingTheWindowEndsTheEventLoopCleanly) {
  RecordingServices services;
  QPointer<frmTambrel> window = new frmTambrel(services);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));

  window->findChild<QLineEdit*>(QStringLiteral("txtNum"))->setText(QStringLiteral("6"));
  window->findChild<QLineEdit*>(QStringLiteral("txtRolled"))->setText(QStringLiteral("5"));
  QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdGenerate")), Qt::LeftButton);
  ASSERT_EQ(window->lblNum().Count(), 6);

  QTimer::singleShot(0, window, [&window] {
    if (GetParam() == Ending::ExitButton) {
      QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdExit")), Qt::LeftButton);
    } else {
      window->close();  // what the title bar's close box asks for
    }
  });
  QTimer watchdog;  // a failure should fail the test, not hang it
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, &watchdog, [] { QApplication::exit(99); });
  watchdog.start(10000);
  const int status = QApplication::exec();
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(window.isNull()) << "the window is destroyed, and the reference reads as nothing";
  EXPECT_TRUE(services.messages.empty());
  EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
}

std::string EndingName(const ::testing::TestParamInfo<Ending>& ending) {
  return ending.param == Ending::ExitButton ? "ExitButton" : "CloseBox";
}

void PrintTo(Ending ending, std::ostream* os) { *os << EndingName({ending, 0}); }

INSTANTIATE_TEST_SUITE_P(Endings, LifetimeTest,
                         ::testing::Values(Ending::ExitButton, Ending::CloseBox), EndingName);

}  // namespace
}  // namespace tambrel
