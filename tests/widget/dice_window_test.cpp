#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "support/window_fixture.h"
#include "window/dice/frm_dice.h"
#include "window/history/frm_history.h"

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
  // Every roll is counted: the one just made is in the last column.
  EXPECT_EQ(odds.front(), QStringLiteral("Total\tChance\tAt least\tAt most\tObserved"));
  EXPECT_TRUE(odds[1].startsWith(QStringLiteral("3\t0.07716%\t100.0%\t0.07716%\t")));
  EXPECT_TRUE(odds.back().startsWith(QStringLiteral("18\t1.620%\t1.620%\t100.0%\t")));
  EXPECT_EQ(odds[line.captured(5).toInt() - 2].section(QLatin1Char('\t'), 4), QStringLiteral("1"));

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

TEST_F(DiceWindowTest, SavedRollsAreSavedRenamedRolledAndDeletedFromTheKeyboard) {
  frmDice* dice = Open();
  auto* list = dice->findChild<QListWidget*>(QStringLiteral("lstSaved"));
  const auto shown = [list] {
    QStringList rows;
    for (int row = 0; row < list->count(); ++row) rows.append(list->item(row)->text());
    return rows;
  };
  // The name offered is the expression as parsed; one typed instead is kept.
  Field(dice)->setText(QStringLiteral("8D6"));
  services_.typed = {std::string("Fireball")};
  QTest::mouseClick(dice->findChild<QPushButton*>(QStringLiteral("cmdSave")), Qt::LeftButton);
  EXPECT_EQ(services_.offered.back(), "8d6");
  Field(dice)->setText(QStringLiteral("2d20kh1"));
  QTest::mouseClick(dice->findChild<QPushButton*>(QStringLiteral("cmdSave")), Qt::LeftButton);
  EXPECT_EQ(shown(), (QStringList{QStringLiteral("Fireball: 8d6"), QStringLiteral("2d20kh1")}));

  services_.typed = {std::string("Advantage")};
  list->setFocus();
  QTest::keyClick(list, Qt::Key_F2);
  EXPECT_EQ(shown().back(), QStringLiteral("Advantage: 2d20kh1"));
  QTest::keyClick(list, Qt::Key_Up);
  QTest::keyClick(list, Qt::Key_Return);
  ASSERT_TRUE(dice->Shown().has_value());
  EXPECT_EQ(dice->Shown()->expression.Text(), "8d6");

  // Delete asks first, No the answer that keeps it.
  QTest::keyClick(list, Qt::Key_Delete);
  EXPECT_EQ(services_.questions.back().prompt, "Delete the saved roll \"Fireball: 8d6\"?");
  EXPECT_EQ(shown().size(), 2);
  services_.answer_yes = true;
  QTest::keyClick(list, Qt::Key_Delete);
  EXPECT_EQ(shown(), QStringList{QStringLiteral("Advantage: 2d20kh1")});
}

TEST_F(DiceWindowTest, ABatchIsOneHistoryRowCountedBesideTheOddsAndRolledAgainFromThere) {
  frmDice* dice = Open();
  QSignalSpy oddsShown(dice, &frmDice::oddsShown);
  dice->findChild<QSpinBox*>(QStringLiteral("spnTimes"))->setValue(1000);
  Type(dice, "2d6");
  ASSERT_TRUE(oddsShown.wait());
  EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^1,000 rolls: mean \d\.\d\d$)"))
                  .match(dice->findChild<QLabel*>(QStringLiteral("lblBatch"))->text())
                  .hasMatch());
  EXPECT_TRUE(dice->findChild<QLabel*>(QStringLiteral("lblObserved"))
                  ->text()
                  .startsWith(QStringLiteral("Rolled 1,000 times since ")));

  // One row in the History, the counts beside the odds in Copy Odds.
  ASSERT_EQ(session_.Record().RunCount(), 1);
  const StoredRun batch = session_.Record().Runs(0, 1).front();
  EXPECT_EQ(batch.expression, "2d6");
  EXPECT_EQ(batch.times, 1000);
  EXPECT_EQ(batch.valueCount, 1000);
  QTest::mouseClick(dice->findChild<QPushButton*>(QStringLiteral("cmdCopyOdds")), Qt::LeftButton);
  const QStringList odds = QGuiApplication::clipboard()->text().split(QLatin1Char('\n'),
                                                                       Qt::SkipEmptyParts);
  ASSERT_EQ(odds.size(), 12);
  EXPECT_TRUE(odds.front().endsWith(QStringLiteral("\tObserved")));
  std::uint64_t observed = 0;
  for (int row = 1; row < odds.size(); ++row) observed += odds[row].section(QLatin1Char('\t'), 4).toULongLong();
  EXPECT_EQ(observed, 1000u);
  EXPECT_EQ(static_cast<double>(batch.sum) / 1000,
            dice->findChild<QLabel*>(QStringLiteral("lblBatch"))->text().section(QLatin1Char(' '), -1).toDouble())
      << "the mean shown is the batch's";

  // Roll Again on the History's row rolls the batch again in the Dice window.
  dice->findChild<QSpinBox*>(QStringLiteral("spnTimes"))->setValue(1);
  session_.ShowHistory();
  frmHistory* history = session_.HistoryWindow();
  ASSERT_NE(history, nullptr);
  auto* table = history->findChild<QTableView*>(QStringLiteral("tblRuns"));
  table->selectRow(0);
  QTest::mouseClick(history->findChild<QPushButton*>(QStringLiteral("cmdRollAgain")), Qt::LeftButton);
  EXPECT_EQ(session_.Record().RunCount(), 2);
  EXPECT_EQ(session_.Record().Runs(0, 1).front().times, 1000);
  EXPECT_EQ(session_.Record().TallyOfExpression("2d6").rolls, 2000u);
}

}  // namespace
}  // namespace tambrel
