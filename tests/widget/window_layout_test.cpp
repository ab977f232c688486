#include <QAccessible>
#include <QFrame>
#include <QLabel>
#include <QToolButton>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/window_fixture.h"
#include "window/layout_table.h"
#include "window/twips.h"

namespace tambrel {
namespace {

using testing::RecordingServices;
using testing::WindowTest;

// The design, written out independently of the window's own layout table,
// so that a slip in either one fails.
struct Expected {
  const char* name;
  int left, top, width, height;
  const char* caption;
  double points;  // 0 for the window's default font
};

const Expected kDesign[] = {
    {"cmdNum_0", 600, 300, 495, 495, "4", 12},
    {"cmdNum_1", 1200, 300, 495, 495, "6", 12},
    {"cmdNum_2", 1800, 300, 495, 495, "8", 12},
    {"cmdNum_3", 2400, 300, 495, 495, "10", 12},
    {"cmdNum_4", 3000, 300, 495, 495, "12", 12},
    {"cmdNum_5", 3600, 300, 495, 495, "20", 12},
    {"cmdNum_6", 4200, 300, 495, 495, "100", 12},
    {"lblRanNum", 540, 1020, 3555, 315, "Enter a Number to be Randomized:", 12},
    {"txtNum", 4080, 960, 675, 375, "", 12},
    {"lblRolled", 1620, 1560, 2415, 315, "Enter Amount of times:", 12},
    {"txtRolled", 4080, 1500, 600, 375, "1", 12},
    {"UpDown1", 4680, 1500, 195, 375, "", 0},
    {"cmdGenerate", 180, 2160, 915, 495, "Generate Number", 0},
    {"cmdClear", 1260, 2160, 915, 495, "Clear", 0},
    {"cmdSum", 2580, 2160, 615, 255, "Sum", 0},
    {"cmdAvg", 3180, 2160, 615, 255, "Avg", 0},
    {"cmdExit", 4080, 2160, 975, 495, "Exit", 0},
};

void PrintTo(const Expected& control, std::ostream* os) { *os << control.name; }

std::string TestName(const ::testing::TestParamInfo<Expected>& control) { return control.param.name; }

class LayoutTableTest : public ::testing::TestWithParam<Expected> {
 protected:
  RecordingServices services_;
  frmTambrel window_{services_};
};

// Every control, read back from the live widget in twips, stands where the
// design puts it: a control one pixel off fails.
TEST_P(LayoutTableTest, ControlStandsWhereTheDesignPutsIt) {
  const Expected& control = GetParam();
  const auto* widget = window_.findChild<QWidget*>(QString::fromLatin1(control.name));
  ASSERT_NE(widget, nullptr);
  const QRect r = widget->geometry();
  EXPECT_EQ(PixelsToTwips(r.x()), static_cast<float>(control.left));
  EXPECT_EQ(PixelsToTwips(r.y()), static_cast<float>(control.top));
  EXPECT_EQ(PixelsToTwips(r.width()), static_cast<float>(control.width));
  EXPECT_EQ(PixelsToTwips(r.height()), static_cast<float>(control.height));

  QString shown;
  if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) shown = button->text();
  if (const auto* label = qobject_cast<const QLabel*>(widget)) shown = label->text();
  if (const auto* box = qobject_cast<const QLineEdit*>(widget)) shown = box->text();
  EXPECT_EQ(shown.toStdString(), control.caption);

  if (control.points > 0) {
    EXPECT_EQ(widget->font().family(), QStringLiteral("Times New Roman"));
    EXPECT_TRUE(widget->font().bold());
    EXPECT_EQ(widget->font().pointSizeF(), control.points);
  }
}

INSTANTIATE_TEST_SUITE_P(Design, LayoutTableTest, ::testing::ValuesIn(kDesign), TestName);

TEST(WindowLayout, TemplateResultLabelIsElementZeroOfTheLabelArray) {
  RecordingServices services;
  frmTambrel window(services);
  const Label& element0 = window.lblNum()[0];
  EXPECT_EQ(element0.left, 60);
  EXPECT_EQ(element0.top, 2640);
  EXPECT_EQ(element0.width, 450);
  EXPECT_EQ(element0.height, 300);
  EXPECT_EQ(element0.caption, "");
  const auto* view = window.findChild<QWidget*>(QStringLiteral("lblNumView"));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->font().family(), QStringLiteral("Times New Roman"));
  EXPECT_TRUE(view->font().bold());
  EXPECT_EQ(view->font().pointSizeF(), 11.25);
}

TEST(WindowLayout, LayoutTableHoldsEveryControlOfTheDesign) {
  EXPECT_EQ(std::size(kLayout), std::size(kDesign) + 1) << "the design's controls and lblNum";
}

TEST(WindowLayout, SeparatorLineRunsAcrossTheDesignWidth) {
  RecordingServices services;
  frmTambrel window(services);
  const auto* line = window.findChild<QFrame*>(QStringLiteral("Line1"));
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(PixelsToTwips(line->x()), static_cast<float>(kLine1.x1));
  EXPECT_EQ(PixelsToTwips(line->y()), static_cast<float>(kLine1.y1));
  EXPECT_EQ(PixelsToTwips(line->x() + line->width()), static_cast<float>(kLine1.x2));
  EXPECT_EQ(line->frameShape(), QFrame::HLine);
}

TEST(WindowLayout, CaptionIsSetBeforeTheWindowIsFirstShown) {
  RecordingServices services;
  frmTambrel window(services);
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Tambrel Generation"));
  window.show();
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Tambrel Generation"));
}

TEST(WindowLayout, LoadStartsAnEmptyGrid) {
  RecordingServices services;
  frmTambrel window(services);
  EXPECT_EQ(window.Fields().intColumn, 0);
  EXPECT_EQ(window.Fields().intRow, 1);
  EXPECT_EQ(window.Fields().intNextLabel, 1);
  EXPECT_EQ(window.lblNum().Count(), 1);
  EXPECT_FALSE(window.lblNum()[0].visible);
}

TEST(WindowLayout, DesignClientAreaBeforeTheSizeRulesRun) {
  RecordingServices services;
  frmTambrel window(services);
  EXPECT_EQ(PixelsToTwips(window.width()), 5280.0f);
  EXPECT_EQ(PixelsToTwips(window.height()), 3600.0f);
}

class WindowFocusTest : public WindowTest {};

TEST_F(WindowFocusTest, FocusStartsInTheNumberBoxAndTabFollowsTheTabIndex) {
  EXPECT_EQ(QApplication::focusWidget(), Number());
  const std::vector<const char*> expected = {
      "cmdGenerate", "cmdExit", "cmdNum_0", "cmdNum_1", "cmdNum_2", "cmdNum_3", "cmdNum_4",
      "cmdNum_5", "txtRolled", "cmdSum", "cmdAvg", "cmdClear", "cmdNum_6", "txtNum"};
  for (const char* name : expected) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), name);
  }
}

TEST_F(WindowFocusTest, SpinControlStepsTheTimesBoxBetweenOneAndOneHundred) {
  QToolButton* increase = Arrow(Qt::UpArrow);
  QToolButton* decrease = Arrow(Qt::DownArrow);
  ASSERT_NE(increase, nullptr);
  ASSERT_NE(decrease, nullptr);
  for (int expected = 2; expected <= 100; ++expected) {
    QTest::mouseClick(increase, Qt::LeftButton);
    ASSERT_EQ(Times()->text(), QString::number(expected));
  }
  QTest::mouseClick(increase, Qt::LeftButton);
  EXPECT_EQ(Times()->text(), QStringLiteral("100"));
  for (int i = 0; i < 120; ++i) QTest::mouseClick(decrease, Qt::LeftButton);
  EXPECT_EQ(Times()->text(), QStringLiteral("1"));
  EXPECT_EQ(QApplication::focusWidget(), Number()) << "the arrows take no focus";
}

TEST_F(WindowFocusTest, SpinControlStepsFromWhatWasTypedAndByTheArrowKeys) {
  Times()->setFocus();
  Times()->setText(QStringLiteral("7"));
  QTest::keyClick(Times(), Qt::Key_Up);
  EXPECT_EQ(Times()->text(), QStringLiteral("8"));
  QTest::keyClick(Times(), Qt::Key_Down);
  QTest::keyClick(Times(), Qt::Key_Down);
  EXPECT_EQ(Times()->text(), QStringLiteral("6"));
  Times()->setText(QStringLiteral("500"));
  QTest::keyClick(Times(), Qt::Key_Up);
  EXPECT_EQ(Times()->text(), QStringLiteral("100"));
}

TEST_F(WindowFocusTest, BoxesAreNamedByTheirLabelsForAScreenReader) {
  const auto name = [](QObject* object) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
    return accessible != nullptr ? accessible->text(QAccessible::Name) : QString();
  };
  EXPECT_EQ(name(Number()), QStringLiteral("Enter a Number to be Randomized:"));
  EXPECT_EQ(name(Times()), QStringLiteral("Enter Amount of times:"));
  EXPECT_EQ(name(Find<QWidget>("UpDown1")), QStringLiteral("Enter Amount of times:"));
}

}  // namespace
}  // namespace tambrel
