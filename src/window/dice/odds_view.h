#pragma once

#include <QFutureWatcher>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "roll/dice/expression.h"
#include "roll/dice/odds.h"
#include "runtime/history_store.h"

class QLabel;
class QPushButton;
class QTableView;

namespace tambrel {

class OddsChart;
class OddsTable;

// The exact odds of the expression rolled, beside the roll: a chart with
// the totals rolled highlighted, the mean, spread and range, the chances of
// the last total, and a table that "Copy Odds" copies. They are worked out
// on Qt's thread pool, once per expression: a roll never waits for them.
class OddsView final : public QWidget {
  Q_OBJECT

 public:
  using Result = std::shared_ptr<const dice::Odds>;

  explicit OddsView(QWidget* parent = nullptr);
  ~OddsView() override;

  // The odds of one total of `expression` (each repeat's), with `rolled`
  // the totals just rolled, the last of them the one whose chances are
  // given.
  void Show(const dice::Expression& expression, std::vector<std::int64_t> rolled);

  // What was rolled of the expression shown, across sessions: drawn beside
  // the odds, judged against them, and copied with them.
  void SetObserved(const ExpressionTally& tally);

  // The odds shown; null while they are worked out, or when refused.
  [[nodiscard]] const Result& Odds() const { return odds_; }

 Q_SIGNALS:
  // Up to date with the latest Show(): worked out, or refused.
  void shown();
  // "Reset": forget the rolls counted of the expression shown.
  void resetRequested();

 private:
  void Ready();
  void Update();
  void Judge();
  void cmdCopyOdds_Click();

  std::stop_source stop_;
  QFutureWatcher<Result> work_;
  // The odds shown and the expression they are of; "" while none are.
  Result odds_;
  std::string of_;
  std::string wanted_;
  std::vector<std::int64_t> rolled_;
  ExpressionTally tally_;
  std::shared_ptr<const std::map<std::int64_t, std::uint64_t>> observed_;

  QLabel* lblOddsHeading_;
  OddsChart* chart_;
  QLabel* lblOddsSummary_;
  QLabel* lblThisTotal_;
  QLabel* lblObserved_;
  QLabel* lblVerdict_;
  OddsTable* table_;
  QTableView* tblOdds_;
  QPushButton* cmdCopyOdds_;
  QPushButton* cmdReset_;
};

}  // namespace tambrel
