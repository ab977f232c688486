#include "runtime/qt_services.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <chrono>

namespace tambrel {
namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QtServices::QtServices() : random_(RandomGenerator::FromEntropy()) {}

void QtServices::MsgBox(std::string_view prompt, MsgStyle style, std::string_view title) {
  // A line break is written CR LF; a Qt label breaks on LF alone.
  QString text = FromUtf8(prompt);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(style == MsgStyle::Information ? QMessageBox::Information : QMessageBox::NoIcon,
                  FromUtf8(title), text, QMessageBox::Ok, parent_.data());
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

void QtServices::Beep() { QApplication::beep(); }

void QtServices::Randomize() {
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  random_.MixTimer(static_cast<std::uint64_t>(ticks));
}

}  // namespace tambrel
