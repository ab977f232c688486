#pragma once

#include <QPushButton>

namespace tambrel {

// A push button whose caption wraps onto several lines when it is wider
// than the button, as "Generate Number" must on a 61-pixel button.
class CommandButton final : public QPushButton {
  Q_OBJECT

 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace tambrel
