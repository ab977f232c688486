#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "window/distribution/frm_distribution.h"
#include "window/history/frm_history.h"
#include "window/shown_values.h"
#include "x11_harness.h"

namespace tambrel::testing {
namespace {

// The clipboard as another program reads it, through the X server. The
// window answers xclip from its event loop, so the loop runs while it waits.
QByteArray ReadClipboardAs(const QString& target) {
  QProcess xclip;
  xclip.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                        QStringLiteral("-t"), target, QStringLiteral("-o")});
  if (!QTest::qWaitFor([&] { return xclip.state() == QProcess::NotRunning; }, kWmTimeoutMs)) {
    xclip.kill();
    xclip.waitForFinished();
    return "<xclip did not finish>";
  }
  return xclip.readAllStandardOutput();
}

QString ReadClipboard() { return QString::fromUtf8(ReadClipboardAs(QStringLiteral("UTF8_STRING"))); }

class ClipboardTest : public ManagedWindowTest {
 protected:
  // A history file of the test's own, never the user's.
  History::Opener HistoryOpener() override {
    return HistoryFileOpener(folder_.filePath(QStringLiteral("tambrel/history.sqlite3")).toStdString());
  }

  QLineEdit* Number() { return window_->findChild<QLineEdit*>(QStringLiteral("txtNum")); }

  void Roll(const QString& sides, const QString& times) {
    Number()->setText(sides);
    window_->findChild<QLineEdit*>(QStringLiteral("txtRolled"))->setText(times);
    QTest::mouseClick(window_->findChild<QPushButton*>(QStringLiteral("cmdGenerate")), Qt::LeftButton);
  }

  // Right-clicks the result area below the line as a user does, and hands
  // the menu to `act` once it is up; returns when the menu has closed.
  void RightClickResults(const std::function<void(QMenu&)>& act) {
    bool opened = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
      if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        poll.stop();
        opened = true;
        act(*menu);
      }
    });
    poll.start();
    const ToolResult click =
        RunTool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--window"),
                                            WindowIdArgument(id_), QStringLiteral("120"), QStringLiteral("200"),
                                            QStringLiteral("click"), QStringLiteral("3")});
    ASSERT_TRUE(click.ok) << click.output.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return opened && QApplication::activePopupWidget() == nullptr; },
                                kWmTimeoutMs))
        << "the menu never opened, or never closed";
  }

  static QAction* Item(QMenu& menu, const QString& text) {
    for (QAction* action : menu.actions()) {
      if (action->text() == text) return action;
    }
    return nullptr;
  }
  static QAction* CopyItem(QMenu& menu) { return Item(menu, QStringLiteral("Copy Values")); }

  [[nodiscard]] QString ShownAsText() const {
    return QString::fromStdString(ValuesAsText(window_->lblNum(), RowsOfShownValues(window_->lblNum())));
  }

  // Every value on the grid, in order, as the History window's copy lists
  // a run's values.
  [[nodiscard]] QString GridValues() const {
    QStringList values;
    for (int i = 1; i < window_->Fields().intNextLabel; ++i) {
      values.append(QString::fromStdString(window_->lblNum()[i].caption));
    }
    return values.join(QStringLiteral(", "));
  }

  QTemporaryDir folder_;
};

TEST_F(ClipboardTest, NothingShownNothingCopied) {
  QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
  Number()->setText(QStringLiteral("6"));
  Number()->setFocus();
  QTest::keyClick(Number(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  bool enabled = true;
  RightClickResults([&](QMenu& menu) {
    QAction* copy = CopyItem(menu);
    enabled = copy == nullptr || copy->isEnabled();
    menu.close();
  });
  EXPECT_FALSE(enabled) << "Copy Values is offered with nothing to copy";
  EXPECT_EQ(ReadClipboard(), QStringLiteral("kept"));
  EXPECT_EQ(Number()->text(), QStringLiteral("6"));
  EXPECT_EQ(services_.beeps, 0);
}

// Twelve values in a window whose rows hold nine: two lines, tabs between.
TEST_F(ClipboardTest, ShortcutAndMenuItemCopyTheGridRowByRow) {
  Roll(QStringLiteral("20"), QStringLiteral("12"));
  ASSERT_EQ(window_->Fields().intNextLabel, 13);
  const QString shown = ShownAsText();
  ASSERT_EQ(shown.count(QLatin1Char('\n')), 1) << shown.toStdString();
  ASSERT_EQ(shown.count(QLatin1Char('\t')), 10) << shown.toStdString();

  Number()->setFocus();
  QTest::keyClick(Number(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(ReadClipboard(), shown);
  EXPECT_EQ(Number()->text(), QStringLiteral("20")) << "the shortcut reached the box";
  EXPECT_EQ(services_.beeps, 0);

  QGuiApplication::clipboard()->setText(QStringLiteral("replaced"));
  RightClickResults([](QMenu& menu) {
    QAction* copy = CopyItem(menu);
    if (copy == nullptr || !copy->isEnabled()) {
      menu.close();
      return;
    }
    QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(copy).center());
  });
  EXPECT_EQ(ReadClipboard(), shown);
}

// "Show Distribution" sits under "Copy Values"; the window it opens puts
// its chart on the clipboard as an image another program can paste.
TEST_F(ClipboardTest, MenuOpensTheDistributionWhoseChartCopiesAsAnImage) {
  Roll(QStringLiteral("6"), QStringLiteral("12"));
  QStringList items;
  RightClickResults([&](QMenu& menu) {
    for (QAction* action : menu.actions()) items.append(action->text());
    QAction* show = Item(menu, QStringLiteral("Show Distribution"));
    if (show == nullptr) {
      menu.close();
      return;
    }
    QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(show).center());
  });
  EXPECT_EQ(items, (QStringList{QStringLiteral("Copy Values"), QStringLiteral("Show Distribution"),
                                QStringLiteral("Show History"), QStringLiteral("Show Dice")}));
  QWidget* shown = session_->Distribution();
  ASSERT_NE(shown, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(shown));

  const QWidget* chart = shown->findChild<QWidget*>(QStringLiteral("picChart"));
  QTest::mouseClick(shown->findChild<QPushButton*>(QStringLiteral("cmdCopyChart")), Qt::LeftButton);
  // As the chart was when copied: on a busy machine the window manager may
  // still be settling the window's size while the paste is read.
  const QSize copied = chart->size() * chart->devicePixelRatio();
  const QImage pasted = QImage::fromData(ReadClipboardAs(QStringLiteral("image/png")), "PNG");
  EXPECT_EQ(pasted.size(), copied);
  // Bars in the palette's highlight colour, not an empty picture.
  const QColor bars = chart->palette().color(QPalette::Highlight);
  bool barSeen = false;
  for (int x = 0; x < pasted.width() && !barSeen; ++x) {
    barSeen = pasted.pixelColor(x, pasted.height() - 60) == bars;
  }
  EXPECT_TRUE(barSeen);
}

// "Show History", under "Show Distribution", opens the runs; keys typed
// on the X server select them and copy them whole for another program: a
// header, then a row per selected run, newest first, with every value.
TEST_F(ClipboardTest, MenuOpensTheHistoryWhoseCtrlCCopiesTheRunsWhole) {
  Roll(QStringLiteral("6"), QStringLiteral("3"));
  const QString d6 = GridValues();
  Roll(QStringLiteral("20"), QStringLiteral("25"));  // past the 20 values a row shows
  const QString d20 = GridValues();
  RightClickResults([&](QMenu& menu) {
    QAction* show = Item(menu, QStringLiteral("Show History"));
    if (show == nullptr) {
      menu.close();
      return;
    }
    QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(show).center());
  });
  frmHistory* shown = session_->HistoryWindow();
  ASSERT_NE(shown, nullptr) << "Show History opened nothing";
  ASSERT_TRUE(QTest::qWaitForWindowActive(shown, kWmTimeoutMs));
  const QString historyId = WindowIdArgument(shown->winId());
  // Typed keys go where the server has put the focus, which follows Qt's
  // view of the active window on the window manager's time.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return RunTool(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")}).output.trimmed() == historyId; },
      kWmTimeoutMs))
      << "the History window never had the keyboard focus";

  // Each run's cells as copied: the time, then its form, the sides, count,
  // sum, average and every value.
  const auto expectRow = [](const QString& line, const QString& sides, const QString& values) {
    const QStringList cells = line.split(QLatin1Char('\t'));
    ASSERT_EQ(cells.size(), 7) << line.toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"))
                    .match(cells[0])
                    .hasMatch())
        << cells[0].toStdString();
    const QStringList each = values.split(QStringLiteral(", "));
    long long sum = 0;
    for (const QString& value : each) sum += value.toLongLong();
    EXPECT_EQ(cells.mid(1), (QStringList{QString::number(each.size()) + QLatin1Char('d') + sides, sides,
                                         QString::number(each.size()), QString::number(sum),
                                         QString::number(static_cast<double>(sum) / static_cast<double>(each.size()), 'f', 2),
                                         values}));
  };
  const QString header = QStringLiteral("Time\tExpression\tSides\tValues\tSum\tAverage\tResults");

  // Every run: Ctrl+A, then Ctrl+C, as the keyboard sends them.
  QGuiApplication::clipboard()->setText(QStringLiteral("replaced"));
  ToolResult keys = RunTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("--clearmodifiers"),
                                                        QStringLiteral("ctrl+a"), QStringLiteral("ctrl+c")});
  ASSERT_TRUE(keys.ok) << keys.output.toStdString();
  ASSERT_TRUE(QTest::qWaitFor([&] { return QGuiApplication::clipboard()->text() != QStringLiteral("replaced"); },
                              kWmTimeoutMs))
      << "Ctrl+C in the History window copied nothing";
  QStringList lines = ReadClipboard().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3) << lines.join(QLatin1Char('|')).toStdString();
  EXPECT_EQ(lines[0], header);
  expectRow(lines[1], QStringLiteral("20"), d20);
  expectRow(lines[2], QStringLiteral("6"), d6);

  // The older run alone, clicked on its row with the mouse.
  auto* table = shown->findChild<QTableView*>(QStringLiteral("tblRuns"));
  const QPoint row = table->viewport()->mapTo(shown, table->visualRect(table->model()->index(1, 1)).center());
  QGuiApplication::clipboard()->setText(QStringLiteral("replaced"));
  keys = RunTool(QStringLiteral("xdotool"),
                 {QStringLiteral("mousemove"), QStringLiteral("--window"), historyId, QString::number(row.x()),
                  QString::number(row.y()), QStringLiteral("click"), QStringLiteral("1"), QStringLiteral("key"),
                  QStringLiteral("--clearmodifiers"), QStringLiteral("ctrl+c")});
  ASSERT_TRUE(keys.ok) << keys.output.toStdString();
  ASSERT_TRUE(QTest::qWaitFor([&] { return QGuiApplication::clipboard()->text() != QStringLiteral("replaced"); },
                              kWmTimeoutMs));
  lines = ReadClipboard().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 2) << lines.join(QLatin1Char('|')).toStdString();
  EXPECT_EQ(lines[0], header);
  expectRow(lines[1], QStringLiteral("6"), d6);
}

}  // namespace
}  // namespace tambrel::testing
