#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QRegularExpression>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "support/window_fixture.h"
#include "window/dice/frm_dice.h"

namespace tambrel {
namespace {

class DiceWindowTest : public testing::WindowTest {
 protected:
  frmDice* Open() {
    QTest::keyClick(Number(), Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    frmDice* dice = session_.Dice();
    EXPECT_NE(dice, nullptr);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(dice));
    return dice;
  }

  static QLineEdit* Field(frmDice* dice) {
    return dice->findChild<QLineEdit*>(QStringLiteral("txtExpression"));
  }

  // Types `text` in the field and presses Enter, as a player does.
  static void Type(frmDice* dice, const char* text) {
    Field(dice)->clear();
    QTest::keyClicks(Field(dice), QString::fromLatin1(text));
    QTest::keyClick(Field(dice), Qt::Key_Return);
  }
};

TEST_F(DiceWindowTest, RollsWhatIsTypedCopiesItAndItsOddsAndRecallsIt) {
  frmDice* dice = Open();
  EXPECT_EQ(dice->windowTitle(), QStringLiteral("Tambrel Dice"));
  // The field it opens on; the platform here gives the window the focus
  // only as it likes.
  EXPECT_EQ(dice->focusWidget(), Field(dice));
  EXPECT_EQ(Field(dice)->accessibleName(), QStringLiteral("Expression"));

  QSignalSpy oddsShown(dice, &frmDice::oddsShown);
  Type(dice, "2d6");
  ASSERT_TRUE(oddsShown.wait());
  Type(dice, " 4D6KH3");
  ASSERT_TRUE(oddsShown.wait());

  // Four dice in the order rolled, the lowest in parentheses, and the sum
  // of the other three, which the window shows large.
  QTest::keyClick(Field(dice), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  const QString copied = QGuiApplication::clipboard()->text();
  const QRegularExpressionMatch line = QRegularExpression(
      QStringLiteral(R"(^4d6kh3: \[(\(?\d\)?), (\(?\d\)?), (\(?\d\)?), (\(?\d\)?)\] = (\d+)$)"))
      .match(copied);
  ASSERT_TRUE(line.hasMatch()) << copied.toStdString();
  std::vector<int> kept;
  int dropped = 0;
  for (int die = 1; die <= 4; ++die) {
    const QString shown = line.captured(die);
    if (shown.startsWith(QLatin1Char('('))) {
      dropped = shown.mid(1, 1).toInt();
    } else {
      kept.push_back(shown.toInt());
    }
  }
  ASSERT_EQ(kept.size(), 3u) << copied.toStdString();
  EXPECT_LE(dropped, *std::min_element(kept.begin(), kept.end()));
  EXPECT_EQ(line.captured(5).toInt(), std::accumulate(kept.begin(), kept.end(), 0));
  EXPECT_EQ(dice->findChild<QLabel*>(QStringLiteral("lblTotal"))->text(), line.captured(5));

  // 3 needs four 1s, one throw in 1,296; 18 three 6s of four, 21 in 1,296.
  QTest::mouseClick(dice->findChild<QPushButton*>(QStringLiteral("cmdCopyOdds")), Qt::LeftButton);
  const QStringList odds = QGuiApplication::clipboard()->text().split(QLatin1Char('\n'),
                                                                       Qt::SkipEmptyParts);
  ASSERT_EQ(odds.size(), 17);
  EXPECT_EQ(odds.front(), QStringLiteral("Total\tChance\tAt least\tAt most"));
  EXPECT_EQ(odds[1], QStringLiteral("3\t0.07716%\t100.0%\t0.07716%"));
  EXPECT_EQ(odds.back(), QStringLiteral("18\t1.620%\t1.620%\t100.0%"));

  // Up and Down step through what was rolled, back to what was being typed.
  Field(dice)->setText(QStringLiteral("d2"));
  for (const auto& [key, expected] : {std::pair{Qt::Key_Up, " 4D6KH3"}, {Qt::Key_Up, "2d6"},
                                      {Qt::Key_Up, "2d6"}, {Qt::Key_Down, " 4D6KH3"},
                                      {Qt::Key_Down, "d2"}}) {
    QTest::keyClick(Field(dice), key);
    EXPECT_EQ(Field(dice)->text().toStdString(), expected);
  }
}

TEST_F(DiceWindowTest, AMistakeIsShownAtItsColumnUnderTheField) {
  frmDice* dice = Open();
  Type(dice, "3d6)");
  const auto* error = dice->findChild<QLabel*>(QStringLiteral("lblError"));
  EXPECT_EQ(error->text(), QStringLiteral("Expected an operator or the end at column 4."));
  EXPECT_TRUE(error->isVisible());
  EXPECT_EQ(Field(dice)->cursorPosition(), 3);
  EXPECT_TRUE(services_.messages.empty()) << "no box";
  EXPECT_FALSE(dice->Shown().has_value());
}

}  // namespace
}  // namespace tambrel
