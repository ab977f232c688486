#pragma once

#include <QLineEdit>
#include <QStringList>

namespace tambrel {

// The field an expression is typed in. Up and Down step through the
// expressions rolled before, as a shell's history does: Down past the
// newest brings back what was being typed.
class ExpressionField final : public QLineEdit {
  Q_OBJECT

 public:
  explicit ExpressionField(QWidget* parent = nullptr);

  // After a roll: the newest of the history, unless it repeats the last.
  void Remember(const QString& expression);

  // Puts the cursor before the character at `column` (from 1; one past the
  // end for an expression that stops short) and returns the middle of that
  // character, in the field's coordinates.
  QPoint PointTo(int column);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Recall(qsizetype at);

  QStringList rolled_;
  qsizetype at_ = 0;  // rolled_.size() while typing anew
  QString draft_;
};

// A caret under the place in the field where an expression went wrong.
class CaretLine final : public QWidget {
  Q_OBJECT

 public:
  explicit CaretLine(QWidget* parent = nullptr);

  // `x` in the window's coordinates, so that it holds however the layout
  // places this line; hidden again by Clear().
  void PointAt(int x);
  void Clear();

  [[nodiscard]] QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int x_ = -1;
};

}  // namespace tambrel
