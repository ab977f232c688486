#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <vector>

#include "roll/distribution.h"

namespace tambrel {

// The bars of a distribution as rows a screen reader reads one by one:
// "Value" (a grouped bar's first and last value), "Count" and "Expected".
class DistributionTable final : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;

  void SetBars(std::vector<Bar> bars);

  [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
  [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
  [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
  [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                    int role) const override;

  // The whole table as plain text: the header row, then a row per bar,
  // tabs between columns.
  [[nodiscard]] QString AsText() const;

 private:
  [[nodiscard]] QString Cell(int row, int column) const;

  std::vector<Bar> bars_;
};

// "4", or "1 to 656" for a grouped bar.
[[nodiscard]] QString ValuesOf(const Bar& bar);

}  // namespace tambrel
