#pragma once

#include <QFutureWatcher>
#include <QString>
#include <memory>
#include <optional>
#include <variant>

#include "roll/dice/roller.h"
#include "roll/history.h"
#include "runtime/services.h"
#include "window/side_window.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace tambrel {

class Announcer;
class CaretLine;
class ExpressionField;
class OddsView;
class SavedRollsList;

// "Tambrel Dice": an expression in the notation players type ("4d6kh3",
// "2d20kh1", "8d6+5"), rolled once or many times, with every die of the
// last roll shown and the exact odds of its totals beside it, against what
// was rolled of it across sessions. Every roll is kept in the history;
// rolls can be saved under a name. A mistake is shown under the field, at
// its column, never in a box.
class frmDice final : public SideWindow {
  Q_OBJECT

 public:
  frmDice(Services& services, History& history, QWidget* parent = nullptr);
  ~frmDice() override;

  // Puts `expression` in the field and rolls it `times` times, as Enter
  // does.
  void Roll(const QString& expression, int times = 1);

  // The roll shown, if any: the last of a batch.
  [[nodiscard]] const std::optional<dice::RollResult>& Shown() const { return shown_; }

 Q_SIGNALS:
  // The roll asked for is shown, with its odds worked out or refused.
  void oddsShown();
  // A roll has been kept in the history.
  void rolled();

 protected:
  // Reads the saved rolls and the counts of the expression shown again.
  void Refresh() override;
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  using BatchOutcome = std::shared_ptr<const std::variant<dice::Batch, dice::DiceError>>;

  void cmdRoll_Click();
  void BatchRolled();
  void ShowError(const dice::DiceError& error);
  void ShowRoll(dice::RollResult result, const QString& batchLine = {});
  // Keeps the roll shown, with `counts` of all its totals (a batch's).
  void Record(std::int32_t times, const std::map<std::int64_t, std::uint64_t>& counts,
              const std::vector<std::int64_t>& firstTotals);
  void ShowObserved();
  void Save();
  void ResetCounts();
  void CopyRoll();

  Services& services_;
  History& history_;
  std::unique_ptr<Announcer> announcer_;
  std::optional<dice::RollResult> shown_;
  QFutureWatcher<BatchOutcome> batch_;

  ExpressionField* txtExpression_;
  QSpinBox* spnTimes_;
  QPushButton* cmdRoll_;
  CaretLine* caret_;
  QLabel* lblError_;
  QLabel* lblTotal_;
  QPlainTextEdit* txtBreakdown_;
  QLabel* lblBatch_;
  OddsView* odds_;
  SavedRollsList* saved_;
};

}  // namespace tambrel
