#pragma once

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QToolButton;

namespace tambrel {

// An up-down control attached to a text box: each step writes the control's
// value into the box. Stepping starts from the whole number the box shows,
// if any, so that typing 7 and pressing up gives 8. Up and Down in the box
// step as the arrows do. The control takes no focus of its own.
class UpDown final : public QWidget {
  Q_OBJECT

 public:
  UpDown(int minimum, int maximum, QWidget* parent = nullptr);

  void SetBuddy(QLineEdit* buddy);
  [[nodiscard]] int Value() const { return value_; }
  void SetValue(int value);

  void StepUp() { Step(+1); }
  void StepDown() { Step(-1); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Step(int delta);

  int minimum_;
  int maximum_;
  int value_;
  QToolButton* up_;
  QToolButton* down_;
  QPointer<QLineEdit> buddy_;
};

}  // namespace tambrel
