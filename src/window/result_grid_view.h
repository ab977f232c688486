#pragma once

#include <QRect>
#include <QWidget>
#include <vector>

#include "runtime/label_array.h"
#include "window/shown_values.h"

namespace tambrel {

// Shows the result labels of a label array. One widget paints them all:
// a full grid holds over ten thousand values, far too many for a widget
// each. It lies beneath the window's controls and lets the mouse through.
class ResultGridView final : public QWidget, private LabelArray::Observer {
  Q_OBJECT

 public:
  ResultGridView(const LabelArray& labels, QWidget* parent);
  ~ResultGridView() override;

  // The label array reports changes here; set by the window that owns both.
  LabelArray::Observer* AsObserver() { return this; }

  [[nodiscard]] const LabelArray& Labels() const { return labels_; }
  // The labels on show, row by row; what a screen reader walks.
  [[nodiscard]] const ShownRows& Rows() const;
  // Where a label stands, in this widget's pixels.
  [[nodiscard]] static QRectF PixelArea(const Label& label);
  // The area a row of labels covers, in this widget's pixels.
  [[nodiscard]] QRect RowArea(int row) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void LabelAreaChanged(const Label& label) override;

  const LabelArray& labels_;
  // Everything that changed since the last paint, as one rectangle: a run
  // touches thousands of neighbouring labels and one update covers them.
  QRect pending_;
  mutable ShownRows rows_;
  mutable bool rowsStale_ = true;
};

}  // namespace tambrel
