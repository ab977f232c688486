#include "window/up_down.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

#include "runtime/conversions.h"

namespace tambrel {
namespace {

QToolButton* MakeArrow(Qt::ArrowType arrow, const QString& name, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setArrowType(arrow);
  button->setAutoRepeat(true);
  button->setFocusPolicy(Qt::NoFocus);
  button->setAccessibleName(name);
  return button;
}

}  // namespace

UpDown::UpDown(int minimum, int maximum, QWidget* parent)
    : QWidget(parent),
      minimum_(minimum),
      maximum_(maximum),
      value_(minimum),
      up_(MakeArrow(Qt::UpArrow, tr("Increase"), this)),
      down_(MakeArrow(Qt::DownArrow, tr("Decrease"), this)) {
  setFocusPolicy(Qt::NoFocus);
  connect(up_, &QToolButton::clicked, this, &UpDown::StepUp);
  connect(down_, &QToolButton::clicked, this, &UpDown::StepDown);
}

void UpDown::SetBuddy(QLineEdit* buddy) {
  if (buddy_ != nullptr) buddy_->removeEventFilter(this);
  buddy_ = buddy;
  if (buddy_ != nullptr) buddy_->installEventFilter(this);
}

void UpDown::SetValue(int value) { value_ = std::clamp(value, minimum_, maximum_); }

void UpDown::Step(int delta) {
  if (buddy_ != nullptr) {
    if (const auto shown = TextToInt16(buddy_->text().toStdString())) SetValue(*shown);
  }
  SetValue(value_ + delta);
  if (buddy_ != nullptr) buddy_->setText(QString::number(value_));
}

bool UpDown::eventFilter(QObject* watched, QEvent* event) {
  // The event type first: a box being destroyed still passes its last
  // events through here, and reading the guarded pointer then would cast an
  // object that is no longer a line edit.
  if (event->type() == QEvent::KeyPress && watched == buddy_) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
      if (key->key() == Qt::Key_Up) {
        StepUp();
        return true;
      }
      if (key->key() == Qt::Key_Down) {
        StepDown();
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

void UpDown::resizeEvent(QResizeEvent* /*event*/) {
  const int upper = height() / 2;
  up_->setGeometry(0, 0, width(), upper);
  down_->setGeometry(0, upper, width(), height() - upper);
}

}  // namespace tambrel
