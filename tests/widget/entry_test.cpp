#include <QClipboard>
#include <QKeyEvent>
#include <gtest/gtest.h>

#include "support/window_fixture.h"
#include "window/die_sizes.h"

namespace tambrel {
namespace {

using testing::WindowTest;

class EntryTest : public WindowTest, public ::testing::WithParamInterface<const char*> {
 protected:
  QLineEdit* Box() { return Find<QLineEdit>(GetParam()); }
};

TEST_P(EntryTest, TypedNonDigitsAreDroppedWithOneBeepEach) {
  Box()->setFocus();
  Box()->clear();
  QTest::keyClicks(Box(), QStringLiteral("1a2"));
  EXPECT_EQ(Box()->text(), QStringLiteral("12"));
  EXPECT_EQ(services_.beeps, 1);

  for (const char key : {' ', '-', '.', 'e', '+'}) {
    QTest::keyClick(Box(), key);
    EXPECT_EQ(Box()->text(), QStringLiteral("12")) << key;
  }
  EXPECT_EQ(services_.beeps, 6);
  // Characters no ASCII key types: accented letters, symbols, code 31, DEL.
  const QString others[] = {QString::fromUtf8("é"), QString::fromUtf8("€"), QString::fromUtf8("🎲"),
                            QString(QChar(31)), QString(QChar(127))};
  for (const QString& text : others) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(Box(), &press);
  }
  EXPECT_EQ(Box()->text(), QStringLiteral("12"));
  EXPECT_EQ(services_.beeps, 11);
}

TEST_P(EntryTest, EditingKeysPassWithoutABeep) {
  Box()->setFocus();
  Box()->setText(QStringLiteral("123"));
  Box()->end(false);
  QTest::keyClick(Box(), Qt::Key_Backspace);
  EXPECT_EQ(Box()->text(), QStringLiteral("12"));
  QTest::keyClick(Box(), Qt::Key_Home);
  QTest::keyClick(Box(), Qt::Key_Delete);
  EXPECT_EQ(Box()->text(), QStringLiteral("2"));
  QTest::keyClick(Box(), Qt::Key_Return);
  QTest::keyClick(Box(), Qt::Key_Enter);
  EXPECT_EQ(services_.beeps, 0);
}

TEST_P(EntryTest, ClipboardShortcutsWorkAndPastedTextIsNotFiltered) {
  Box()->setFocus();
  Box()->setText(QStringLiteral("42"));
  QTest::keyClick(Box(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(Box(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("42"));
  QTest::keyClick(Box(), Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(Box()->text(), QString());
  QApplication::clipboard()->setText(QStringLiteral("1.5e3 x"));
  QTest::keyClick(Box(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Box()->text(), QStringLiteral("1.5e3 x"));
  EXPECT_EQ(services_.beeps, 0);
}

INSTANTIATE_TEST_SUITE_P(Boxes, EntryTest, ::testing::Values("txtNum", "txtRolled"),
                         [](const auto& param_info) { return std::string(param_info.param); });

class DieSizeTest : public WindowTest {};

TEST_F(DieSizeTest, EachButtonWritesItsSizeAndDrawsNothing) {
  Times()->setText(QStringLiteral("3"));
  for (std::size_t i = 0; i < kDieSizes.size(); ++i) {
    Number()->setText(QStringLiteral("whatever was here"));
    Click(("cmdNum_" + std::to_string(i)).c_str());
    EXPECT_EQ(Number()->text().toStdString(), kDieSizes.at(i));
  }
  EXPECT_EQ(Find<QPushButton>("cmdNum_5")->text(), QStringLiteral("20"));
  EXPECT_EQ(Times()->text(), QStringLiteral("3"));
  EXPECT_EQ(Shown(), 0);
  EXPECT_EQ(window_.lblNum().Count(), 1);
  EXPECT_TRUE(services_.messages.empty());
}

}  // namespace
}  // namespace tambrel
