#include "window/dice/odds_table.h"

#include <array>

namespace tambrel {
namespace {

const std::array<QString, 5> kColumns = {QStringLiteral("Total"), QStringLiteral("Chance"),
                                         QStringLiteral("At least"), QStringLiteral("At most"),
                                         QStringLiteral("Observed")};

}  // namespace

void OddsTable::SetOdds(std::shared_ptr<const dice::Odds> odds) {
  beginResetModel();
  odds_ = std::move(odds);
  endResetModel();
}

void OddsTable::SetObserved(std::shared_ptr<const std::map<std::int64_t, std::uint64_t>> observed) {
  beginResetModel();
  observed_ = std::move(observed);
  endResetModel();
}

int OddsTable::RowOf(std::int64_t total) const {
  if (!odds_) return -1;
  const dice::Chance* found = odds_->Find(total);
  return found == nullptr ? -1 : static_cast<int>(found - odds_->totals.data());
}

int OddsTable::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || !odds_ ? 0 : static_cast<int>(odds_->totals.size());
}

int OddsTable::columnCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return static_cast<int>(kColumns.size()) - (observed_ ? 0 : 1);
}

QVariant OddsTable::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
  const dice::Chance& row = odds_->totals[static_cast<std::size_t>(index.row())];
  switch (index.column()) {
    case 0:
      return QString::number(row.total);
    case 1:
      return QString::fromStdString(dice::PercentText(row.chance));
    case 2:
      return QString::fromStdString(dice::PercentText(row.atLeast));
    case 3:
      return QString::fromStdString(dice::PercentText(row.atMost));
    default: {
      const auto found = observed_->find(row.total);
      return QString::number(found == observed_->end() ? 0 : found->second);
    }
  }
}

QVariant OddsTable::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  if (role == Qt::DisplayRole) return kColumns[static_cast<std::size_t>(section)];
  return {};
}

}  // namespace tambrel
