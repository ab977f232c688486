#pragma once

#include <QRect>
#include <QWidget>

#include "runtime/label_array.h"

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

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void LabelAreaChanged(const Label& label) override;

  const LabelArray& labels_;
  // Everything that changed since the last paint, as one rectangle: a run
  // touches thousands of neighbouring labels and one update covers them.
  QRect pending_;
};

}  // namespace tambrel
