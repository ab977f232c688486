#pragma once

#include <QString>
#include <cstdint>

#include "roll/history.h"
#include "runtime/services.h"
#include "window/side_window.h"

class QLabel;
class QPushButton;
class QTableView;

namespace tambrel {

class HistoryTable;

// "Tambrel History": every kept run and Dice roll, newest first, with Roll
// Again (the button, Enter or a double-click), Ctrl+C for the selected
// runs, Save As for the whole history as CSV, and Clear History.
class frmHistory final : public SideWindow {
  Q_OBJECT

 public:
  frmHistory(History& history, Services& services, QWidget* parent = nullptr);

  // Writes the whole history to `path` as CSV, whole or not at all; returns
  // why it failed, or nothing.
  [[nodiscard]] QString SaveTo(const QString& path);

 Q_SIGNALS:
  void rollAgainRequested(std::int16_t sides, std::int32_t times);
  // Roll Again on a roll of the Dice window: `expression` as it was
  // parsed, rolled `times` times at once.
  void diceRollAgainRequested(const QString& expression, int times);

 protected:
  void Refresh() override;

 private:
  void cmdRollAgain_Click();
  void cmdSaveAs_Click();
  void cmdClear_Click();
  void CopySelected();

  History& history_;
  Services& services_;

  QLabel* lblProblem_;
  HistoryTable* table_;
  QTableView* tblRuns_;
  QPushButton* cmdRollAgain_;
  QPushButton* cmdSaveAs_;
  QPushButton* cmdClear_;
};

}  // namespace tambrel
