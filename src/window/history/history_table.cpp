#include "window/history/history_table.h"

#include <QDateTime>
#include <QString>
#include <algorithm>

#include "roll/history_text.h"

namespace tambrel {
namespace {

constexpr int kPageRows = 100;
constexpr std::size_t kPagesKept = 8;

enum Column { kTime, kExpression, kSides, kValues, kSum, kAverage, kResults, kColumns };
static_assert(static_cast<std::size_t>(kColumns) == kHistoryColumns.size());

}  // namespace

HistoryTable::HistoryTable(History& history, QObject* parent)
    : QAbstractTableModel(parent), history_(history) {}

void HistoryTable::Refresh() {
  beginResetModel();
  pages_.clear();
  pageOrder_.clear();
  count_ = static_cast<int>(std::min<std::int64_t>(history_.RunCount(), INT32_MAX));
  nowMs_ = QDateTime::currentMSecsSinceEpoch();
  endResetModel();
}

std::optional<StoredRun> HistoryTable::RunAt(int row) const {
  const StoredRun* run = Cached(row);
  return run != nullptr ? std::optional<StoredRun>(*run) : std::nullopt;
}

const StoredRun* HistoryTable::Cached(int row) const {
  if (row < 0 || row >= count_) return nullptr;
  const int page = row / kPageRows;
  auto found = pages_.find(page);
  if (found == pages_.end()) {
    if (pageOrder_.size() >= kPagesKept) {
      pages_.erase(pageOrder_.front());
      pageOrder_.erase(pageOrder_.begin());
    }
    found = pages_.emplace(page, history_.Runs(std::int64_t{page} * kPageRows, kPageRows)).first;
    pageOrder_.push_back(page);
  }
  const auto index = static_cast<std::size_t>(row % kPageRows);
  return index < found->second.size() ? &found->second[index] : nullptr;
}

int HistoryTable::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : count_; }

int HistoryTable::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant HistoryTable::data(const QModelIndex& index, int role) const {
  if (role == Qt::TextAlignmentRole) {
    const bool number =
        index.column() != kTime && index.column() != kExpression && index.column() != kResults;
    return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
  }
  if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
  const StoredRun* run = Cached(index.row());
  if (run == nullptr) return {};
  switch (index.column()) {
    case kTime:
      return QString::fromStdString(TimeCell(run->endedAtMs, nowMs_));
    case kExpression:
      return QString::fromStdString(ExpressionCell(*run));
    case kSides:
      return QString::fromStdString(SidesCell(*run));
    case kValues:
      return QString::number(run->valueCount);
    case kSum:
      return QString::number(run->sum);
    case kAverage:
      return QString::fromStdString(AverageCell(*run));
    case kResults:
      return QString::fromStdString(ResultsCell(*run));
    default:
      return {};
  }
}

QVariant HistoryTable::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns) {
    return {};
  }
  const std::string_view header = kHistoryColumns.at(static_cast<std::size_t>(section));
  return QString::fromLatin1(header.data(), static_cast<qsizetype>(header.size()));
}

}  // namespace tambrel
