#include <QAbstractItemModel>
#include <QClipboard>
#include <QTableView>
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "support/window_fixture.h"
#include "window/distribution/frm_distribution.h"

namespace tambrel {
namespace {

using Counts = std::map<std::string, int>;

class DistributionWindowTest : public testing::WindowTest {
 protected:
  void Roll(const char* sides, const char* times) {
    Number()->setText(QString::fromLatin1(sides));
    Times()->setText(QString::fromLatin1(times));
    Click("cmdGenerate");
  }

  // The values on the grid, counted.
  Counts OnGrid() const {
    Counts counts;
    for (int i = 1; i < window_.Fields().intNextLabel; ++i) ++counts[window_.lblNum()[i].caption];
    return counts;
  }

  // What the window's table says, leaving out the values never drawn.
  static Counts InTable(const frmDistribution& shown) {
    const QAbstractItemModel* model = shown.findChild<QTableView*>(QStringLiteral("tblCounts"))->model();
    Counts counts;
    for (int row = 0; row < model->rowCount(); ++row) {
      const int count = model->index(row, 1).data().toInt();
      if (count > 0) counts[model->index(row, 0).data().toString().toStdString()] = count;
    }
    return counts;
  }
};

TEST_F(DistributionWindowTest, TableCountsEveryValueTheRunsPlacedUntilReset) {
  // More than the window's first size holds: the value drawn past the
  // bottom is never on the grid, and is not counted either.
  Roll("6", "20");
  Counts expected = OnGrid();
  ASSERT_GT(Shown(), 0);
  ASSERT_LT(Shown(), 20);

  // From the number box: the shortcut is the window's, so the box neither
  // takes the key nor rings.
  Number()->setFocus();
  QTest::keyClick(Number(), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
  frmDistribution* shown = session_.Distribution();
  ASSERT_NE(shown, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(shown));
  EXPECT_EQ(shown->windowTitle(), QStringLiteral("Tambrel Distribution"));
  EXPECT_EQ(Number()->text(), QStringLiteral("6"));
  EXPECT_EQ(services_.beeps, 0);
  EXPECT_EQ(InTable(*shown), expected);
  // At its first size, a d6's six rows show whole.
  auto* counts = shown->findChild<QTableView*>(QStringLiteral("tblCounts"));
  EXPECT_LE(counts->rowViewportPosition(5) + counts->rowHeight(5), counts->viewport()->height());

  // A second run replaces the grid; the tally keeps both.
  Roll("6", "20");
  for (const auto& [value, count] : OnGrid()) expected[value] += count;
  EXPECT_EQ(InTable(*shown), expected);

  Click("cmdClear");
  EXPECT_EQ(InTable(*shown), expected);

  // Ctrl+C in the table copies the whole table, not the current cell.
  shown->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(shown));
  auto* table = shown->findChild<QTableView*>(QStringLiteral("tblCounts"));
  table->setFocus();
  QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
  const QStringList lines = QGuiApplication::clipboard()->text().split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 7);
  EXPECT_EQ(lines.front().toStdString(), "Value\tCount\tExpected");
  int total = 0;
  for (const auto& [value, count] : expected) total += count;
  EXPECT_EQ(lines[1].toStdString(),
            QStringLiteral("1\t%1\t%2").arg(expected["1"]).arg(total / 6.0, 0, 'f', 2).toStdString());

  QTest::mouseClick(shown->findChild<QPushButton*>(QStringLiteral("cmdReset")), Qt::LeftButton);
  EXPECT_EQ(InTable(*shown), Counts{});

  QTest::keyClick(shown, Qt::Key_Escape);
  EXPECT_FALSE(shown->isVisible());
  EXPECT_TRUE(window_.isVisible());
}

}  // namespace
}  // namespace tambrel
