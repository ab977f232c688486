#include <QAccessible>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <gtest/gtest.h>

#include "runtime/qt_services.h"
#include "support/message_box_watch.h"
#include "support/window_fixture.h"

namespace tambrel {
namespace {

using testing::WindowTest;

QAccessibleInterface* Accessible(QObject* object) {
  return QAccessible::queryAccessibleInterface(object);
}

struct Spoken {
  const char* name;
  QAccessible::Role role;
  const char* spokenName;
  const char* description;  // empty: not checked
};

void PrintTo(const Spoken& c, std::ostream* os) { *os << c.name; }

std::string SpokenName(const ::testing::TestParamInfo<Spoken>& control) { return control.param.name; }

class SpokenControlTest : public WindowTest, public ::testing::WithParamInterface<Spoken> {};

// Every control has a role and a name a screen reader can speak.
TEST_P(SpokenControlTest, HasItsRoleAndName) {
  const Spoken& c = GetParam();
  QAccessibleInterface* accessible = Accessible(Find<QWidget>(c.name));
  ASSERT_NE(accessible, nullptr);
  EXPECT_EQ(accessible->role(), c.role);
  EXPECT_EQ(accessible->text(QAccessible::Name).toStdString(), c.spokenName);
  if (*c.description != '\0') {
    EXPECT_EQ(accessible->text(QAccessible::Description).toStdString(), c.description);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Controls, SpokenControlTest,
    ::testing::Values(
        Spoken{"cmdNum_0", QAccessible::Button, "4", "d4"},
        Spoken{"cmdNum_1", QAccessible::Button, "6", "d6"},
        Spoken{"cmdNum_2", QAccessible::Button, "8", "d8"},
        Spoken{"cmdNum_3", QAccessible::Button, "10", "d10"},
        Spoken{"cmdNum_4", QAccessible::Button, "12", "d12"},
        Spoken{"cmdNum_5", QAccessible::Button, "20", "d20"},
        Spoken{"cmdNum_6", QAccessible::Button, "100", "d100"},
        Spoken{"txtNum", QAccessible::EditableText, "Enter a Number to be Randomized:", ""},
        Spoken{"txtRolled", QAccessible::EditableText, "Enter Amount of times:", ""},
        Spoken{"lblRanNum", QAccessible::StaticText, "Enter a Number to be Randomized:", ""},
        Spoken{"lblRolled", QAccessible::StaticText, "Enter Amount of times:", ""},
        Spoken{"cmdGenerate", QAccessible::Button, "Generate Number", ""},
        Spoken{"cmdClear", QAccessible::Button, "Clear", ""},
        Spoken{"cmdSum", QAccessible::Button, "Sum", ""},
        Spoken{"cmdAvg", QAccessible::Button, "Avg", ""},
        Spoken{"cmdExit", QAccessible::Button, "Exit", ""}),
    SpokenName);

class KeyboardOnlyTest : public WindowTest {};

// The whole window works from the keyboard: type, tab to a button, press
// Space, step the count with the arrow keys.
TEST_F(KeyboardOnlyTest, RollsAndReportsWithoutTheMouse) {
  QTest::keyClicks(Number(), QStringLiteral("8"));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // Generate Number
  ASSERT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("cmdGenerate"));
  Times()->setFocus();
  QTest::keyClick(Times(), Qt::Key_Up);
  QTest::keyClick(Times(), Qt::Key_Up);
  ASSERT_EQ(Times()->text(), QStringLiteral("3"));
  Find<QWidget>("cmdGenerate")->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
  EXPECT_EQ(Shown(), 3);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // Exit
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // the die for 4
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
  EXPECT_EQ(Number()->text(), QStringLiteral("4"));
}

// A message box is read out with its text, and shows it as written: an '&'
// in a path is neither dropped nor made a mnemonic that presses OK.
TEST(AccessibleMessageBox, IsReadAndShownWithItsTextAsWritten) {
  for (const QString& text :
       {QStringLiteral("Enter a valid number"),
        QStringLiteral("History is not being saved: the folder /proc/D&D Night/tambrel cannot be made")}) {
    QString spoken;
    QString described;
    bool shownAsWritten = false;
    bool openAfterAltD = false;
    const testing::MessageBoxWatch watch([&](QMessageBox& box) {
      auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
      if (label == nullptr) return;
      spoken = Accessible(label)->text(QAccessible::Name);
      described = Accessible(box.button(QMessageBox::Ok))->text(QAccessible::Description);
      box.activateWindow();
      if (QTest::qWaitForWindowActive(&box)) {
        QTest::keyClick(&box, Qt::Key_D, Qt::AltModifier);
        // A mnemonic clicks its button after the click's animation.
        QTest::qWait(300);
        openAfterAltD = box.isVisible();
      }
      // Against the same label showing the same words without a buddy.
      const QImage shown = label->grab().toImage();
      label->setBuddy(nullptr);
      label->setText(text);
      shownAsWritten = label->grab().toImage() == shown;
    });
    QtServices services;
    services.MsgBox(text.toStdString(), MsgStyle::Information, "Tambrel1");
    EXPECT_EQ(spoken.toStdString(), text.toStdString());
    EXPECT_EQ(described.toStdString(), text.toStdString());
    EXPECT_TRUE(shownAsWritten) << text.toStdString();
    EXPECT_TRUE(openAfterAltD) << "Alt+D closed the box showing " << text.toStdString();
  }
}

class ReadableLayoutTest : public WindowTest {};

// With fonts-liberation the layout's serif resolves to its metric twin,
// and every caption fits inside its control: nothing is cut off, at any
// scale factor (the layout is in device-independent pixels).
TEST_F(ReadableLayoutTest, CaptionsFitTheirControlsInTheMetricCompatibleSerif) {
  EXPECT_EQ(QFontInfo(Number()->font()).family(), QStringLiteral("Liberation Serif"));
  for (QLabel* label : window_.findChildren<QLabel*>()) {
    const QFontMetricsF metrics(label->font());
    EXPECT_LE(metrics.horizontalAdvance(label->text()), label->width() + 0.5)
        << label->objectName().toStdString();
  }
  for (QPushButton* button : window_.findChildren<QPushButton*>()) {
    const QFontMetricsF metrics(button->font());
    const QRectF needed = metrics.boundingRect(QRectF(0, 0, button->width() - 4, 1000),
                                               Qt::AlignCenter | Qt::TextWordWrap, button->text());
    EXPECT_LE(needed.width(), button->width() - 4) << button->objectName().toStdString();
    EXPECT_LE(needed.height(), button->height() - 2) << button->objectName().toStdString();
  }
}

TEST_F(ReadableLayoutTest, GrabMatchesTheScreensPixelDensity) {
  const QImage image = window_.grab().toImage();
  const qreal ratio = window_.devicePixelRatioF();
  EXPECT_EQ(image.devicePixelRatio(), ratio);
  EXPECT_EQ(image.width(), qRound(window_.width() * ratio));
  EXPECT_EQ(image.height(), qRound(window_.height() * ratio));
}

}  // namespace
}  // namespace tambrel
