#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "roll/dice/odds.h"
#include "roll/dice/roller.h"
#include "runtime/services.h"
#include "window/dice/odds_work.h"
#include "window/side_window.h"

class QLabel;
class QPushButton;
class QTableView;

namespace tambrel {

class Announcer;
class CaretLine;
class ExpressionField;
class OddsChart;
class OddsTable;

// "Tambrel Dice": an expression in the notation players type ("4d6kh3",
// "2d20kh1", "8d6+5"), rolled with every die shown, and the exact odds of
// its totals beside the roll. A mistake is shown under the field, at its
// column, never in a box.
class frmDice final : public SideWindow {
  Q_OBJECT

 public:
  explicit frmDice(Services& services, QWidget* parent = nullptr);
  ~frmDice() override;

  // Puts `expression` in the field and rolls it, as Enter does.
  void Roll(const QString& expression);

  // The roll shown, if any.
  [[nodiscard]] const std::optional<dice::RollResult>& Shown() const { return shown_; }

 Q_SIGNALS:
  // The odds part has been brought up to date with the roll shown: its
  // odds worked out, or refused.
  void oddsShown();

 protected:
  void Refresh() override {}
  void showEvent(QShowEvent* event) override;

 private:
  void cmdRoll_Click();
  void ShowError(const dice::DiceError& error);
  void ShowRoll(dice::RollResult result);
  void ShowOdds();
  void OddsReady(const OddsWork::Result& odds);
  void CopyRoll();
  void cmdCopyOdds_Click();

  Services& services_;
  std::unique_ptr<Announcer> announcer_;
  OddsWork* work_;
  std::optional<dice::RollResult> shown_;
  // The odds shown, and the expression they are of ("" while none are).
  OddsWork::Result odds_;
  std::string oddsOf_;

  ExpressionField* txtExpression_;
  QPushButton* cmdRoll_;
  CaretLine* caret_;
  QLabel* lblError_;
  QLabel* lblTotal_;
  QLabel* lblBreakdown_;
  QLabel* lblOddsHeading_;
  OddsChart* chart_;
  QLabel* lblOddsSummary_;
  QLabel* lblThisTotal_;
  OddsTable* table_;
  QTableView* tblOdds_;
  QPushButton* cmdCopyOdds_;
};

}  // namespace tambrel
