#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <functional>

namespace tambrel::testing {

// Waits for a real modal message box to come up, hands it to `look` and
// closes it, so that a test can open one and go on.
class MessageBoxWatch {
 public:
  explicit MessageBoxWatch(std::function<void(QMessageBox&)> look) : look_(std::move(look)) {
    poll_.setInterval(10);
    QObject::connect(&poll_, &QTimer::timeout, &poll_, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      look_(*box);
      box->accept();
    });
    poll_.start();
  }

 private:
  std::function<void(QMessageBox&)> look_;
  QTimer poll_;
};

}  // namespace tambrel::testing
