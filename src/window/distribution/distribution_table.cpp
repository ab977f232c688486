#include "window/distribution/distribution_table.h"

#include <QStringList>
#include <array>

namespace tambrel {
namespace {

const std::array<QString, 3> kColumns = {QStringLiteral("Value"), QStringLiteral("Count"),
                                         QStringLiteral("Expected")};

}  // namespace

QString ValuesOf(const Bar& bar) {
  if (bar.first == bar.last) return QString::number(bar.first);
  return QStringLiteral("%1 to %2").arg(bar.first).arg(bar.last);
}

void DistributionTable::SetBars(std::vector<Bar> bars) {
  // After a run of the same range only the counts change: the rows stay,
  // and so do the header's sizes, which a reset would measure again.
  if (bars.size() == bars_.size() && !bars_.empty()) {
    bars_ = std::move(bars);
    Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::DisplayRole});
    return;
  }
  beginResetModel();
  bars_ = std::move(bars);
  endResetModel();
}

int DistributionTable::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(bars_.size());
}

int DistributionTable::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(kColumns.size());
}

QString DistributionTable::Cell(int row, int column) const {
  const Bar& bar = bars_[static_cast<std::size_t>(row)];
  switch (column) {
    case 0:
      return ValuesOf(bar);
    case 1:
      return QString::number(bar.count);
    default:
      return QString::number(bar.expected, 'f', 2);
  }
}

QVariant DistributionTable::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
    return Cell(index.row(), index.column());
  }
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

QVariant DistributionTable::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  if (role == Qt::DisplayRole) return kColumns[static_cast<std::size_t>(section)];
  return {};
}

QString DistributionTable::AsText() const {
  QStringList lines;
  lines.append(QStringList(kColumns.begin(), kColumns.end()).join(QLatin1Char('\t')));
  for (int row = 0; row < rowCount(); ++row) {
    QStringList cells;
    for (int column = 0; column < columnCount(); ++column) cells.append(Cell(row, column));
    lines.append(cells.join(QLatin1Char('\t')));
  }
  return lines.join(QLatin1Char('\n'));
}

}  // namespace tambrel
