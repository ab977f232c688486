#pragma once

#include <QObject>
#include <QPointer>

#include "roll/history.h"
#include "roll/tally.h"
#include "runtime/services.h"

namespace tambrel {

class frmDice;
class frmDistribution;
class frmHistory;
class frmTambrel;

// The program's composition: the main window, the windows beyond it, and
// the session's record that they share (the tally and the kept history).
// The main window asks for the other windows by its signals; they are
// built here the first time they are asked for, so that they cost nothing
// at start-up.
class TambrelSession final : public QObject {
  Q_OBJECT

 public:
  TambrelSession(Services& services, History::Opener opener);
  ~TambrelSession() override;

  // Null once the window has been closed and deleted itself.
  [[nodiscard]] frmTambrel* Window() const;
  [[nodiscard]] History& Record() { return history_; }
  // The windows beyond the main one, once they have been opened.
  [[nodiscard]] frmDistribution* Distribution() const;
  [[nodiscard]] frmHistory* HistoryWindow() const;
  [[nodiscard]] frmDice* Dice() const;

  void ShowDistribution();
  void ShowHistory();
  void ShowDice();

 private:
  void RunEnded();
  void RollAgain(std::int16_t sides, std::int32_t times);
  void RollDiceAgain(const QString& expression, int times);

  Services& services_;
  Tally tally_;
  History history_;
  QPointer<frmTambrel> window_;
  QPointer<frmDistribution> distribution_;
  QPointer<frmHistory> historyWindow_;
  QPointer<frmDice> dice_;
};

// The history file where the desktop keeps state, opened with what it had
// to do said in words for the History window.
[[nodiscard]] History::Opener HistoryFileOpener(std::string path);

}  // namespace tambrel
