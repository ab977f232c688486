#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <gtest/gtest.h>

#include "runtime/qt_services.h"
#include "support/message_box_watch.h"

namespace tambrel {
namespace {

struct SeenBox {
  bool seen = false;
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QList<QAbstractButton*> buttons;
};

// Opens a real modal box and closes it from a timer once it is up, noting
// what it showed.
SeenBox ShowAndClose(std::string_view prompt, MsgStyle style, std::string_view title) {
  SeenBox seen;
  const testing::MessageBoxWatch watch([&seen](QMessageBox& box) {
    seen.seen = true;
    seen.title = box.windowTitle();
    seen.text = box.text();
    seen.icon = box.icon();
    seen.buttons = box.buttons();
  });
  QtServices services;
  services.MsgBox(prompt, style, title);
  return seen;
}

TEST(QtMessageBox, InformationStyleShowsTheIconPromptAndTitle) {
  const SeenBox box = ShowAndClose("Enter a valid number", MsgStyle::Information, "Tambrel1");
  ASSERT_TRUE(box.seen);
  EXPECT_EQ(box.title, QStringLiteral("Tambrel1"));
  EXPECT_EQ(box.text, QStringLiteral("Enter a valid number"));
  EXPECT_EQ(box.icon, QMessageBox::Information);
  EXPECT_EQ(box.buttons.size(), 1);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "no box is left open";
}

TEST(QtMessageBox, OkOnlyStyleShowsNoIcon) {
  const SeenBox box = ShowAndClose("Plain", MsgStyle::OkOnly, "Title");
  ASSERT_TRUE(box.seen);
  EXPECT_EQ(box.icon, QMessageBox::NoIcon);
  EXPECT_EQ(box.text, QStringLiteral("Plain"));
}

TEST(QtMessageBox, CarriageReturnLineFeedBreaksTheLine) {
  const SeenBox box = ShowAndClose("first line\r\nsecond line", MsgStyle::Information, "T");
  ASSERT_TRUE(box.seen);
  EXPECT_EQ(box.text, QStringLiteral("first line\nsecond line"));
}

}  // namespace
}  // namespace tambrel
