#include <QAccessible>
#include <QImage>
#include <QToolButton>
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "runtime/conversions.h"
#include "support/window_fixture.h"
#include "window/twips.h"

namespace tambrel {
namespace {

using testing::Message;
using testing::WindowTest;

class RollWindowTest : public WindowTest {
 protected:
  std::vector<int> ShownValues() {
    std::vector<int> values;
    for (int i = 1; i < window_.Fields().intNextLabel; ++i) {
      const Label& label = window_.lblNum()[i];
      EXPECT_TRUE(label.visible) << i;
      values.push_back(std::stoi(label.caption));
    }
    return values;
  }

  void StepTimesUpTo(int count) {
    QToolButton* up = Arrow(Qt::UpArrow);
    ASSERT_NE(up, nullptr);
    while (Times()->text() != QString::number(count)) QTest::mouseClick(up, Qt::LeftButton);
  }
};

// The whole road: a die-size button, the spin control, Generate, then Sum
// and Avg report exactly the values on screen.
TEST_F(RollWindowTest, UserRollsFiveD20AndIsToldTheirSumAndAverage) {
  Click("cmdNum_5");
  StepTimesUpTo(5);
  Click("cmdGenerate");
  const std::vector<int> values = ShownValues();
  ASSERT_EQ(values.size(), 5u);
  for (const int v : values) {
    EXPECT_GE(v, 1);
    EXPECT_LE(v, 20);
  }
  Click("cmdSum");
  Click("cmdAvg");
  const int sum = std::accumulate(values.begin(), values.end(), 0);
  const auto average = RoundToInt32(sum / 5.0);
  ASSERT_EQ(services_.messages.size(), 2u);
  EXPECT_EQ(services_.messages[0],
            (Message{"The Sum is: " + std::to_string(sum), MsgStyle::Information, "Tambrel1"}));
  EXPECT_EQ(services_.messages[1], (Message{"The Average is: " + std::to_string(*average),
                                            MsgStyle::Information, "Tambrel1"}));
}

TEST_F(RollWindowTest, ClearEmptiesTheGridAndTheStatisticsSaySo) {
  Number()->setText(QStringLiteral("6"));
  Times()->setText(QStringLiteral("4"));
  Click("cmdGenerate");
  ASSERT_EQ(Shown(), 4);
  Click("cmdClear");
  EXPECT_EQ(Shown(), 0);
  EXPECT_EQ(window_.lblNum().Count(), 1);
  Click("cmdSum");
  Click("cmdAvg");
  ASSERT_EQ(services_.messages.size(), 2u);
  EXPECT_EQ(services_.messages[0].title, "Sum");
  EXPECT_EQ(services_.messages[1].title, "Rounded Average");
}

TEST_F(RollWindowTest, EmptyNumberBoxIsReportedAndGetsABlankAndTheFocus) {
  Times()->setFocus();
  Click("cmdGenerate");
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0].prompt, "Enter a valid number");
  EXPECT_EQ(Number()->text(), QStringLiteral(" "));
  EXPECT_EQ(QApplication::focusWidget(), Number());
  EXPECT_EQ(Shown(), 0);
}

TEST_F(RollWindowTest, UnreadableCountKeepsTheValuesAndFocusesTheTimesBox) {
  Number()->setText(QStringLiteral("6"));
  Times()->setText(QStringLiteral("3"));
  Click("cmdGenerate");
  const std::vector<int> before = ShownValues();
  Times()->setText(QStringLiteral("lots"));
  Click("cmdGenerate");
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0].prompt, "Enter a valid amount of times");
  EXPECT_EQ(QApplication::focusWidget(), Times());
  EXPECT_EQ(ShownValues(), before);
}

// The window's own size gives three rows of nine; the 28th value does not fit.
TEST_F(RollWindowTest, FullGridStopsWithTheSizeMessageTitledByTheCaption) {
  const GridFields& fields = window_.Fields();
  EXPECT_EQ(fields.sngRightLimit, PixelsToTwips(window_.width()) - 1000);
  EXPECT_EQ(fields.sngBottomLimit, PixelsToTwips(window_.height()) - 500);
  Number()->setText(QStringLiteral("100"));
  Times()->setText(QStringLiteral("100"));
  Click("cmdGenerate");
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0].title, "Tambrel Generation");
  EXPECT_EQ(services_.messages[0].prompt,
            "You have exceeded the size of this box\r\n"
            "You can increase the size of the form and try again");
  int expected = 0;
  for (float top = 2900; top < fields.sngBottomLimit; top += 300) {
    for (int column = 1;; ++column) {
      ++expected;
      if (static_cast<float>(column * 500) >= fields.sngRightLimit) break;
    }
  }
  EXPECT_EQ(Shown(), expected);
}

// The values are painted where their labels stand, in the label font.
TEST_F(RollWindowTest, ShownValuesArePaintedInTheirPlaces) {
  const QImage empty = window_.grab().toImage();
  Number()->setText(QStringLiteral("1"));
  Times()->setText(QStringLiteral("3"));
  Click("cmdGenerate");
  const QImage rolled = window_.grab().toImage();
  const qreal scale = rolled.devicePixelRatio();
  const auto inkIn = [&](const QImage& image, const QRectF& area) {
    int ink = 0;
    const QRect pixels(static_cast<int>(area.x() * scale), static_cast<int>(area.y() * scale),
                       static_cast<int>(area.width() * scale), static_cast<int>(area.height() * scale));
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
      for (int x = pixels.left(); x <= pixels.right(); ++x) {
        if (image.pixel(x, y) != empty.pixel(x, y)) ++ink;
      }
    }
    return ink;
  };
  for (int i = 1; i <= 3; ++i) {
    const Label& label = window_.lblNum()[i];
    EXPECT_GT(inkIn(rolled, TwipsToPixelsF(label.left, label.top, label.width, label.height)), 10)
        << "label " << i;
  }
  // Nothing between the third label and the window's right edge.
  EXPECT_EQ(inkIn(rolled, TwipsToPixelsF(2000, 2900, 2000, 300)), 0);
}

// No widget stands behind a value, so the grid tells a screen reader about
// each one: its value as its name, its place on screen, in rows. The grid
// and each row are bounded by their values, so that a screen reader looking
// for what lies under the pointer skips them unless a value is there.
TEST_F(RollWindowTest, ScreenReaderReadsEveryValueShownRowByRow) {
  QAccessibleInterface* grid =
      QAccessible::queryAccessibleInterface(Find<QWidget>("lblNumView"));
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->childCount(), 0);
  EXPECT_TRUE(grid->rect().isEmpty());
  Number()->setText(QStringLiteral("12"));
  Times()->setText(QStringLiteral("11"));  // nine in the first row, two in the second
  Click("cmdGenerate");
  ASSERT_EQ(grid->childCount(), 2);
  int label = 1;
  QRect valuesArea;
  for (int r = 0; r < grid->childCount(); ++r) {
    QAccessibleInterface* row = grid->child(r);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(grid->indexOfChild(row), r);
    EXPECT_EQ(row->parent(), grid);
    ASSERT_EQ(row->childCount(), r == 0 ? 9 : 2);
    for (int i = 0; i < row->childCount(); ++i, ++label) {
      QAccessibleInterface* value = row->child(i);
      ASSERT_NE(value, nullptr);
      EXPECT_EQ(value->text(QAccessible::Name).toStdString(), window_.lblNum()[label].caption);
      EXPECT_EQ(value->role(), QAccessible::StaticText);
      EXPECT_EQ(value->parent(), row);
      EXPECT_EQ(row->indexOfChild(value), i);
      const QRect onScreen = value->rect();
      EXPECT_TRUE(row->rect().contains(onScreen));
      EXPECT_EQ(grid->childAt(onScreen.center().x(), onScreen.center().y()), row);
      EXPECT_EQ(row->childAt(onScreen.center().x(), onScreen.center().y()), value);
      valuesArea = valuesArea.united(onScreen);
    }
  }
  EXPECT_EQ(grid->rect(), valuesArea);
  Click("cmdClear");
  EXPECT_EQ(grid->childCount(), 0);
}

}  // namespace
}  // namespace tambrel
