#pragma once

#include <QObject>
#include <QPoint>

#include "runtime/label_array.h"

class QAction;
class QWidget;

namespace tambrel {

class Announcer;

// What the result area offers beyond the grid itself (copying the values
// shown, the Distribution, History and Dice windows): its context menu, and
// the window-wide shortcuts of the menu's items. The shortcuts belong to the
// window, so they work wherever the focus is, and as shortcuts they are
// taken before a box sees the key.
class ResultMenu final : public QObject {
  Q_OBJECT

 public:
  ResultMenu(QWidget& window, const LabelArray& labels, Announcer& announcer);

  // After every change of the grid: "Copy Values" is offered only with
  // values to copy.
  void GridChanged(bool hasValues);

  void Popup(const QPoint& globalPos);

 Q_SIGNALS:
  void distributionRequested();
  void historyRequested();
  void diceRequested();

 private:
  void CopyValues();

  QWidget& window_;
  const LabelArray& labels_;
  Announcer& announcer_;
  QAction* copyValues_;
  QAction* showDistribution_;
  QAction* showHistory_;
  QAction* showDice_;
};

}  // namespace tambrel
