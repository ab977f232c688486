#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

namespace tambrel {

// Tells a screen reader something once, without taking the focus and
// without anything appearing on screen. Each utterance is a notification
// that becomes showing: screen readers speak a notification as it shows,
// and a fresh one each time is spoken even when its words repeat.
class Announcer final {
 public:
  explicit Announcer(QWidget* window);

  void Say(const QString& text);

  // The notification last shown; what a screen reader is reading.
  [[nodiscard]] QWidget* Current() const { return current_.data(); }

 private:
  QWidget* window_;
  QPointer<QWidget> current_;
};

}  // namespace tambrel
