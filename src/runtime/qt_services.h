#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "runtime/event_sound.h"
#include "runtime/services.h"

namespace tambrel {

// The services on Qt: QMessageBox, the sound theme's bell (the system beep
// where no sound server answers), and a generator seeded from the operating
// system's entropy with the steady clock mixed in.
class QtServices final : public Services {
 public:
  QtServices();

  // Message boxes are centred on and modal to this window; a question
  // stands over the window that asks it.
  void SetParentWindow(QWidget* window) { parent_ = window; }

  void MsgBox(std::string_view prompt, MsgStyle style, std::string_view title) override;
  bool AskYesNo(std::string_view prompt, std::string_view title) override;
  std::optional<std::string> AskText(std::string_view prompt, std::string_view title,
                                     std::string_view text) override;
  void Beep() override;
  void Randomize() override;
  RandomGenerator& Random() override { return random_; }

 private:
  QPointer<QWidget> parent_;
  RandomGenerator random_;
  EventSound sound_;
  // Bells are played from the event loop, after the key press that asked
  // for them has been answered; going with the services cancels any left.
  QObject bellQueue_;
};

}  // namespace tambrel
