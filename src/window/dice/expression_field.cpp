#include "window/dice/expression_field.h"

#include <QKeyEvent>
#include <QPainter>
#include <algorithm>

namespace tambrel {

ExpressionField::ExpressionField(QWidget* parent) : QLineEdit(parent) {}

void ExpressionField::Remember(const QString& expression) {
  if (rolled_.isEmpty() || rolled_.back() != expression) rolled_.append(expression);
  at_ = rolled_.size();
  draft_.clear();
}

QPoint ExpressionField::PointTo(int column) {
  const QString shown = text();
  const int at = std::clamp(column - 1, 0, static_cast<int>(shown.size()));
  setCursorPosition(at);
  const QChar under = at < shown.size() ? shown[at] : QLatin1Char(' ');
  return cursorRect().center() + QPoint(fontMetrics().horizontalAdvance(under) / 2, 0);
}

void ExpressionField::keyPressEvent(QKeyEvent* event) {
  if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
    if (event->key() == Qt::Key_Up) {
      if (at_ > 0) Recall(at_ - 1);
      return;
    }
    if (event->key() == Qt::Key_Down) {
      if (at_ < rolled_.size()) Recall(at_ + 1);
      return;
    }
  }
  QLineEdit::keyPressEvent(event);
}

void ExpressionField::Recall(qsizetype at) {
  if (at_ == rolled_.size()) draft_ = text();
  at_ = at;
  setText(at_ < rolled_.size() ? rolled_[at_] : draft_);
}

CaretLine::CaretLine(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CaretLine::PointAt(int x) {
  x_ = x;
  update();
}

void CaretLine::Clear() {
  x_ = -1;
  update();
}

QSize CaretLine::sizeHint() const { return {0, fontMetrics().height()}; }

void CaretLine::paintEvent(QPaintEvent* /*event*/) {
  if (x_ < 0) return;
  const int x = x_ - mapTo(window(), QPoint()).x();
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::WindowText));
  const QString caret = QStringLiteral("^");
  const int half = fontMetrics().horizontalAdvance(caret) / 2;
  painter.drawText(QRect(x - half, 0, 2 * half + 1, height()), Qt::AlignHCenter | Qt::AlignTop, caret);
}

}  // namespace tambrel
