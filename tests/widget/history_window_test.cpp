#include <QAbstractItemModel>
#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "app/session.h"
#include "support/recording_services.h"
#include "window/dice/frm_dice.h"
#include "window/distribution/frm_distribution.h"
#include "window/frm_tambrel.h"
#include "window/history/frm_history.h"

namespace tambrel {
namespace {

// The whole program on a real history file, which a test can close and
// open again as a restart would.
class HistoryWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { Start(); }
  void TearDown() override { session_.reset(); }

  void Start() {
    session_.reset();
    session_ = std::make_unique<TambrelSession>(services_, HistoryFileOpener(path_.toStdString()));
    Window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window()));
  }

  frmTambrel& Window() { return *session_->Window(); }
  template <typename T>
  T* In(QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  void Roll(const char* sides, const char* times) {
    In<QLineEdit>(Window(), "txtNum")->setText(QString::fromLatin1(sides));
    In<QLineEdit>(Window(), "txtRolled")->setText(QString::fromLatin1(times));
    QTest::mouseClick(In<QPushButton>(Window(), "cmdGenerate"), Qt::LeftButton);
  }

  frmHistory& Opened() {
    QTest::keyClick(&Window(), Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
    frmHistory* shown = session_->HistoryWindow();
    EXPECT_NE(shown, nullptr);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(shown));
    return *shown;
  }

  // A row of the table as it reads, cell by cell.
  QStringList Row(frmHistory& shown, int row) {
    const QAbstractItemModel* model = In<QTableView>(shown, "tblRuns")->model();
    QStringList cells;
    for (int column = 0; column < model->columnCount(); ++column) {
      cells.append(model->index(row, column).data().toString());
    }
    return cells;
  }
  int Rows(frmHistory& shown) { return In<QTableView>(shown, "tblRuns")->model()->rowCount(); }

  // The grid's values as "Results" lists them.
  QString OnGrid() {
    QStringList values;
    for (int i = 1; i < Window().Fields().intNextLabel; ++i) {
      values.append(QString::fromStdString(Window().lblNum()[i].caption));
    }
    return values.join(QStringLiteral(", "));
  }

  QTemporaryDir folder_;
  QString path_ = folder_.filePath(QStringLiteral("state/tambrel/history.sqlite3"));
  testing::RecordingServices services_;
  std::unique_ptr<TambrelSession> session_;
};

TEST_F(HistoryWindowTest, RunsAreRowsThatRollAgainCopyClearAndOutliveARestart) {
  Roll("6", "3");
  const QString first = OnGrid();
  Roll("20", "2");
  const QString second = OnGrid();
  frmHistory* shown = &Opened();
  EXPECT_EQ(shown->windowTitle(), QStringLiteral("Tambrel History"));
  ASSERT_EQ(Rows(*shown), 2);
  EXPECT_EQ(Row(*shown, 0).mid(1, 3), (QStringList{QStringLiteral("2d20"), QStringLiteral("20"), QStringLiteral("2")}));
  EXPECT_EQ(Row(*shown, 0).last(), second);
  EXPECT_EQ(Row(*shown, 1).last(), first);

  // Down to the d6 run, then Enter: the same run again, at the top, and the
  // window stays open.
  auto* table = In<QTableView>(*shown, "tblRuns");
  EXPECT_TRUE(table->hasFocus());
  QTest::keyClick(table, Qt::Key_Down);
  QTest::keyClick(table, Qt::Key_Return);
  EXPECT_EQ(In<QLineEdit>(Window(), "txtNum")->text(), QStringLiteral("6"));
  EXPECT_EQ(Window().Fields().intNextLabel - 1, 3);
  ASSERT_EQ(Rows(*shown), 3);
  EXPECT_EQ(Row(*shown, 0).last(), OnGrid());
  EXPECT_TRUE(shown->isVisible());

  // Ctrl+A, Ctrl+C: every run, whole, newest first.
  QTest::keyClick(table, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
  const QStringList lines = QGuiApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 4);
  EXPECT_EQ(lines[0], QStringLiteral("Time\tExpression\tSides\tValues\tSum\tAverage\tResults"));
  EXPECT_TRUE(lines[3].endsWith(QLatin1Char('\t') + first)) << lines[3].toStdString();

  // Save As writes the same runs as CSV, and says why it cannot.
  const QString csv = folder_.filePath(QStringLiteral("history.csv"));
  EXPECT_EQ(shown->SaveTo(csv), QString());
  QFile saved(csv);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(saved.readAll().count("\r\n"), 4);
  EXPECT_FALSE(shown->SaveTo(folder_.filePath(QStringLiteral("no/such/folder.csv"))).isEmpty());

  // A restart: the rows and the tally are back.
  const std::uint64_t d6Total = session_->Record().Counted().TotalOf(RangeOfSides(6));
  Start();
  shown = &Opened();
  ASSERT_EQ(Rows(*shown), 3);
  EXPECT_EQ(Row(*shown, 2).last(), first);
  EXPECT_EQ(session_->Record().Counted().TotalOf(RangeOfSides(6)), d6Total);
  Window().findChild<QAction*>(QStringLiteral("actShowDistribution"))->trigger();
  ASSERT_NE(session_->Distribution(), nullptr);
  EXPECT_EQ(session_->Distribution()->Shown()->total, 6u);

  // A roll of the Dice window is a row with its expression, no sides and
  // its breakdown; Roll Again rolls it there.
  session_->Record().DiceRolled({.id = 0, .endedAtMs = 0, .sides = 0, .valueCount = 1, .sum = 14, .values = {},
                                 .expression = "4d6kh3", .times = 1, .results = "[6, 5, 3, (2)] = 14"},
                                "4d6kh3", {{14, 1}});
  shown->Changed();
  EXPECT_EQ(Row(*shown, 0), (QStringList{Row(*shown, 0)[0], QStringLiteral("4d6kh3"), QString(), QStringLiteral("1"),
                                         QStringLiteral("14"), QStringLiteral("14.00"), QStringLiteral("[6, 5, 3, (2)] = 14")}));
  const int placed = Window().Fields().intNextLabel;
  QTest::keyClick(In<QTableView>(*shown, "tblRuns"), Qt::Key_Return);
  ASSERT_NE(session_->Dice(), nullptr);
  EXPECT_TRUE(session_->Dice()->isVisible());
  EXPECT_EQ(In<QLineEdit>(*session_->Dice(), "txtExpression")->text(), QStringLiteral("4d6kh3"));
  EXPECT_EQ(Window().Fields().intNextLabel, placed);  // the main window did not roll

  // Clear History asks first; No keeps the runs, Yes forgets them but not
  // the tally.
  const int rows = Rows(*shown);
  QTest::mouseClick(In<QPushButton>(*shown, "cmdClearHistory"), Qt::LeftButton);
  EXPECT_EQ(services_.questions.size(), 1u);
  EXPECT_EQ(Rows(*shown), rows);
  services_.answer_yes = true;
  QTest::mouseClick(In<QPushButton>(*shown, "cmdClearHistory"), Qt::LeftButton);
  EXPECT_EQ(Rows(*shown), 0);
  Start();
  EXPECT_EQ(Rows(Opened()), 0);
  EXPECT_EQ(session_->Record().Counted().TotalOf(RangeOfSides(6)), d6Total);
}

// A full disk (a small tmpfs) during the session: told once in a box, the
// History window's line says so, and says when saving began again.
TEST_F(HistoryWindowTest, SavingStoppedAndBegunAgainIsToldOnceThenOnTheHistoryLine) {
  const std::string folder = QFileInfo(path_).absolutePath().toStdString();
  session_.reset();
  std::filesystem::create_directories(folder);
  if (mount("none", folder.c_str(), "tmpfs", 0, "size=256k") != 0) GTEST_SKIP() << "no small tmpfs here";
  Start();
  Roll("6", "1");
  {
    std::ofstream filler(folder + "/filler", std::ios::binary);
    while (filler.write(std::string(4096, 'x').data(), 4096)) {}
  }
  Roll("6", "2");
  Roll("6", "3");
  frmHistory& shown = Opened();
  const auto* line = In<QLabel>(shown, "lblProblem");
  EXPECT_EQ(line->text(), QStringLiteral("History is not being saved: the disk is full"));
  EXPECT_EQ(Rows(shown), 3);
  std::filesystem::remove(folder + "/filler");
  Roll("6", "4");
  EXPECT_EQ(line->text(), QStringLiteral("History is being saved again; 2 runs written"));
  EXPECT_EQ(Rows(shown), 4);
  EXPECT_EQ(services_.messages.size(), 1U);
  session_.reset();
  umount2(folder.c_str(), MNT_DETACH);
}

}  // namespace
}  // namespace tambrel
