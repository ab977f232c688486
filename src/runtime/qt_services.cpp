#include "runtime/qt_services.h"

#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <ctime>

namespace tambrel {
namespace {

// The text describes the button that first takes the focus, and labels it,
// so that it is not read again with the box. Orca takes the box as already
// presented when it handles the click only once the box is up, and then
// says the button alone; described, the button still brings the text.
// A label with a buddy reads '&' as a mnemonic mark: each one is doubled,
// so that the box shows its text as written and Alt+letter presses nothing.
void HeardWithButton(QMessageBox& box, QAbstractButton* button, const QString& text) {
  button->setAccessibleDescription(text);
  if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
    QString shown = text;
    label->setText(shown.replace(QLatin1Char('&'), QStringLiteral("&&")));
    label->setBuddy(button);
  }
}

}  // namespace

QtServices::QtServices() : random_(RandomGenerator::FromEntropy()) {}

void QtServices::MsgBox(std::string_view prompt, MsgStyle style, std::string_view title) {
  // A line break is written CR LF; a Qt label breaks on LF alone.
  QString text = QString::fromUtf8(prompt);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(style == MsgStyle::Information ? QMessageBox::Information : QMessageBox::NoIcon,
                  QString::fromUtf8(title), text, QMessageBox::Ok, parent_.data());
  box.setTextFormat(Qt::PlainText);
  HeardWithButton(box, box.button(QMessageBox::Ok), text);
  box.exec();
}

bool QtServices::AskYesNo(std::string_view prompt, std::string_view title) {
  QWidget* over = QApplication::activeWindow() != nullptr ? QApplication::activeWindow() : parent_.data();
  const QString text = QString::fromUtf8(prompt);
  QMessageBox box(QMessageBox::Question, QString::fromUtf8(title), text,
                  QMessageBox::Yes | QMessageBox::No, over);
  box.setDefaultButton(QMessageBox::No);
  box.setTextFormat(Qt::PlainText);
  HeardWithButton(box, box.button(QMessageBox::No), text);
  return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> QtServices::AskText(std::string_view prompt, std::string_view title,
                                               std::string_view text) {
  QWidget* over = QApplication::activeWindow() != nullptr ? QApplication::activeWindow() : parent_.data();
  QInputDialog dialog(over);
  dialog.setWindowTitle(QString::fromUtf8(title));
  dialog.setLabelText(QString::fromUtf8(prompt));
  dialog.setTextValue(QString::fromUtf8(text));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue().toStdString();
}

void QtServices::Beep() {
  // The first bell connects to the sound server, which can take a moment;
  // the refused key is discarded at once and the bell follows.
  QTimer::singleShot(0, &bellQueue_, [this] {
    if (!sound_.PlayBell()) QApplication::beep();
  });
}

void QtServices::Randomize() {
  // The generator's own state already keeps every draw fresh; the timer only
  // stirs it. The coarse clock does that at a fifth of the cost of the fine
  // one, which matters at a draw every few tens of nanoseconds.
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  random_.MixTimer(static_cast<std::uint64_t>(now.tv_sec) * 1000000000U +
                   static_cast<std::uint64_t>(now.tv_nsec));
}

}  // namespace tambrel
