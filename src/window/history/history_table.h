#pragma once

#include <QAbstractTableModel>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "roll/history.h"

namespace tambrel {

// The kept runs and Dice rolls as rows, newest first: "Time",
// "Expression", "Sides", "Values", "Sum", "Average" and "Results". Rows are
// read from the history a page at a time as the view asks for them, so that
// ten thousand runs are never all held.
class HistoryTable final : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit HistoryTable(History& history, QObject* parent = nullptr);

  // After the history has changed: reads the count again, forgets the pages.
  void Refresh();

  // The run on a row, as the table shows it (its first values only).
  [[nodiscard]] std::optional<StoredRun> RunAt(int row) const;

  [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
  [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
  [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
  [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                    int role) const override;

 private:
  // The run on a row, in the page cache, which the next call may change.
  [[nodiscard]] const StoredRun* Cached(int row) const;

  History& history_;
  int count_ = 0;
  // "Today" for the Time column, as of the last refresh.
  std::int64_t nowMs_ = 0;
  // A few pages of rows; the oldest read goes first.
  mutable std::map<int, std::vector<StoredRun>> pages_;
  mutable std::vector<int> pageOrder_;
};

}  // namespace tambrel
