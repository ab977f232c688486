#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include "window/shown_values.h"

namespace tambrel {

// Tells a screen reader something once, without taking the focus and
// without anything appearing on screen. Each utterance is a notification
// that becomes showing: screen readers speak a notification as it shows,
// and a fresh one each time is spoken even when its words repeat.
class Announcer final {
 public:
  explicit Announcer(QWidget* window);

  void Say(const QString& text);

  // What the user hears of the grid: a run once it is over ("3 values: 4,
  // 17, 2"; nothing for a run that drew nothing), a Clear, a copy.
  void RunEnded(const LabelArray& labels, const ShownRows& rows);
  void Cleared();
  void Copied(int count);

  // The notification last shown; what a screen reader is reading.
  [[nodiscard]] QWidget* Current() const { return current_.data(); }

 private:
  QWidget* window_;
  QPointer<QWidget> current_;
};

}  // namespace tambrel
