#pragma once

#include <QAbstractTableModel>
#include <map>
#include <memory>

#include "roll/dice/odds.h"

namespace tambrel {

// The exact odds as rows a screen reader reads one by one: "Total",
// "Chance", "At least" and "At most", and, once the expression has been
// counted, "Observed", as "Copy Odds" copies them.
class OddsTable final : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;

  void SetOdds(std::shared_ptr<const dice::Odds> odds);
  // How often each total came up; null: no such column.
  void SetObserved(std::shared_ptr<const std::map<std::int64_t, std::uint64_t>> observed);
  // The row of a total, or -1.
  [[nodiscard]] int RowOf(std::int64_t total) const;

  [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
  [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
  [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
  [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                    int role) const override;

 private:
  std::shared_ptr<const dice::Odds> odds_;
  std::shared_ptr<const std::map<std::int64_t, std::uint64_t>> observed_;
};

}  // namespace tambrel
