#pragma once

#include <optional>

#include "roll/distribution.h"
#include "roll/history.h"
#include "window/side_window.h"

class QLabel;
class QPushButton;
class QTableView;

namespace tambrel {

class DistributionChart;
class DistributionTable;

// "Tambrel Distribution": the tally of the latest run's range, kept across
// sessions, as a heading, a bar chart, a summary, a verdict on fairness and
// a table. It shows what the tally holds when it is shown and after a
// change, never value by value.
class frmDistribution final : public SideWindow {
  Q_OBJECT

 public:
  explicit frmDistribution(History& history, QWidget* parent = nullptr);

  [[nodiscard]] const std::optional<Distribution>& Shown() const { return shown_; }

 protected:
  void Refresh() override;

 private:
  void cmdReset_Click();
  void cmdCopyChart_Click();
  void CopyTable();

  History& history_;
  std::optional<Distribution> shown_;

  QLabel* lblHeading_;
  DistributionChart* chart_;
  QLabel* lblSummary_;
  QLabel* lblVerdict_;
  DistributionTable* table_;
  QTableView* tblCounts_;
  QPushButton* cmdReset_;
  QPushButton* cmdCopyChart_;
};

}  // namespace tambrel
