#include "window/result_grid_view.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "window/twips.h"

namespace tambrel {
namespace {

class ResultGridAccessible;

// A value or a row of values, as a screen reader sees it. Both read the
// label array live through the view, so a cleared and refilled grid reuses
// them, and one that outlived its label reports itself invalid.
class GridItemAccessible : public QAccessibleInterface {
 public:
  explicit GridItemAccessible(ResultGridView* view) : view_(view) {}

  QObject* object() const override { return nullptr; }
  QWindow* window() const override {
    return view_ != nullptr ? view_->window()->windowHandle() : nullptr;
  }
  void setText(QAccessible::Text /*type*/, const QString& /*text*/) override {}
  QAccessible::State state() const override {
    QAccessible::State state;
    state.readOnly = true;
    return state;
  }

 protected:
  QRect OnScreen(const QRect& local) const {
    return {view_->mapToGlobal(local.topLeft()), local.size()};
  }
  ResultGridAccessible* Grid() const;

  QPointer<ResultGridView> view_;
};

// One result label: static text named by its value, at its place.
class ValueAccessible final : public GridItemAccessible {
 public:
  ValueAccessible(ResultGridView* view, int label) : GridItemAccessible(view), label_(label) {}

  bool isValid() const override {
    return view_ != nullptr && view_->Labels().IsLoaded(label_) && view_->Labels()[label_].visible;
  }
  QAccessibleInterface* parent() const override;
  QAccessibleInterface* child(int /*index*/) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface* /*child*/) const override { return -1; }
  QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override { return nullptr; }
  QString text(QAccessible::Text type) const override {
    if (type != QAccessible::Name || !isValid()) return {};
    return QString::fromStdString(view_->Labels()[label_].caption);
  }
  QRect rect() const override {
    if (!isValid()) return {};
    return OnScreen(ResultGridView::PixelArea(view_->Labels()[label_]).toAlignedRect());
  }
  QAccessible::Role role() const override { return QAccessible::StaticText; }

  [[nodiscard]] int Label() const { return label_; }

 private:
  int label_;
};

// One row of the grid. Rows keep the tree shallow: a screen reader looking
// for what lies under the pointer skips every row whose bounds miss it,
// instead of asking each of thousands of values.
class RowAccessible final : public GridItemAccessible {
 public:
  RowAccessible(ResultGridView* view, int row) : GridItemAccessible(view), row_(row) {}

  bool isValid() const override {
    return view_ != nullptr && static_cast<std::size_t>(row_) < view_->Rows().size();
  }
  QAccessibleInterface* parent() const override;
  QAccessibleInterface* child(int index) const override;
  int childCount() const override {
    return isValid() ? static_cast<int>(Labels().size()) : 0;
  }
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessibleInterface* childAt(int x, int y) const override;
  QString text(QAccessible::Text /*type*/) const override { return {}; }
  QRect rect() const override { return isValid() ? OnScreen(view_->RowArea(row_)) : QRect(); }
  QAccessible::Role role() const override { return QAccessible::Grouping; }

  [[nodiscard]] int Row() const { return row_; }

 private:
  const std::vector<int>& Labels() const { return view_->Rows()[static_cast<std::size_t>(row_)]; }

  int row_;
};

// The grid: a group of rows, bounded by the values it shows rather than by
// the whole window it lies across.
class ResultGridAccessible final : public QAccessibleWidget {
 public:
  explicit ResultGridAccessible(ResultGridView* view)
      : QAccessibleWidget(view, QAccessible::Grouping), view_(view) {}

  ~ResultGridAccessible() override {
    for (const auto& [key, id] : values_) QAccessible::deleteAccessibleInterface(id);
    for (const auto& [key, id] : rows_) QAccessible::deleteAccessibleInterface(id);
  }

  QRect rect() const override {
    QRect area;
    for (std::size_t row = 0; row < view_->Rows().size(); ++row) {
      area = area.united(view_->RowArea(static_cast<int>(row)));
    }
    if (area.isEmpty()) return {};
    return {view_->mapToGlobal(area.topLeft()), area.size()};
  }

  int childCount() const override { return static_cast<int>(view_->Rows().size()); }

  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= childCount()) return nullptr;
    return Row(index);
  }

  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto* row = dynamic_cast<const RowAccessible*>(child);
    if (row == nullptr || !row->isValid() || Row(row->Row()) != child) return -1;
    return row->Row();
  }

  QAccessibleInterface* childAt(int x, int y) const override {
    const QPoint local = view_->mapFromGlobal(QPoint(x, y));
    for (int row = 0; row < childCount(); ++row) {
      if (view_->RowArea(row).contains(local)) return Row(row);
    }
    return nullptr;
  }

  // Items are made on first use and kept per row and per label index.
  QAccessibleInterface* Row(int row) const {
    return Item(rows_, row, [&] { return new RowAccessible(view_, row); });
  }
  QAccessibleInterface* Value(int label) const {
    return Item(values_, label, [&] { return new ValueAccessible(view_, label); });
  }

  // The row a shown label stands in, or -1.
  int RowOf(int label) const {
    const ShownRows& rows = view_->Rows();
    const auto after = std::upper_bound(rows.begin(), rows.end(), label,
                                        [](int l, const std::vector<int>& row) { return l < row.front(); });
    if (after == rows.begin()) return -1;
    const std::vector<int>& row = *(after - 1);
    return std::binary_search(row.begin(), row.end(), label) ? static_cast<int>(after - 1 - rows.begin()) : -1;
  }

 private:
  template <typename Make>
  static QAccessibleInterface* Item(std::unordered_map<int, QAccessible::Id>& items, int key, Make make) {
    auto found = items.find(key);
    if (found == items.end()) {
      found = items.emplace(key, QAccessible::registerAccessibleInterface(make())).first;
    }
    return QAccessible::accessibleInterface(found->second);
  }

  ResultGridView* view_;
  mutable std::unordered_map<int, QAccessible::Id> rows_;
  mutable std::unordered_map<int, QAccessible::Id> values_;
};

ResultGridAccessible* GridItemAccessible::Grid() const {
  return static_cast<ResultGridAccessible*>(QAccessible::queryAccessibleInterface(view_.data()));
}

QAccessibleInterface* ValueAccessible::parent() const {
  if (!isValid()) return nullptr;
  ResultGridAccessible* grid = Grid();
  const int row = grid->RowOf(label_);
  return row < 0 ? grid : grid->Row(row);
}

QAccessibleInterface* RowAccessible::parent() const { return Grid(); }

QAccessibleInterface* RowAccessible::child(int index) const {
  if (index < 0 || index >= childCount()) return nullptr;
  return Grid()->Value(Labels()[static_cast<std::size_t>(index)]);
}

int RowAccessible::indexOfChild(const QAccessibleInterface* child) const {
  const auto* value = dynamic_cast<const ValueAccessible*>(child);
  if (value == nullptr || !isValid() || value->parent() != this) return -1;
  const std::vector<int>& labels = Labels();
  return static_cast<int>(std::lower_bound(labels.begin(), labels.end(), value->Label()) - labels.begin());
}

QAccessibleInterface* RowAccessible::childAt(int x, int y) const {
  const QPoint local = view_->mapFromGlobal(QPoint(x, y));
  for (const int label : Labels()) {
    if (ResultGridView::PixelArea(view_->Labels()[label]).contains(local)) return Grid()->Value(label);
  }
  return nullptr;
}

QAccessibleInterface* ResultGridFactory(const QString& /*className*/, QObject* object) {
  if (auto* view = qobject_cast<ResultGridView*>(object)) return new ResultGridAccessible(view);
  return nullptr;
}

}  // namespace

ResultGridView::ResultGridView(const LabelArray& labels, QWidget* parent)
    : QWidget(parent), labels_(labels) {
  static std::once_flag factoryInstalled;
  std::call_once(factoryInstalled, [] { QAccessible::installFactory(ResultGridFactory); });
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  setAccessibleName(tr("Results"));
}

const ShownRows& ResultGridView::Rows() const {
  if (rowsStale_) {
    rows_ = RowsOfShownValues(labels_);
    rowsStale_ = false;
  }
  return rows_;
}

QRect ResultGridView::RowArea(int row) const {
  QRectF area;
  for (const int label : Rows()[static_cast<std::size_t>(row)]) area = area.united(PixelArea(labels_[label]));
  return area.toAlignedRect();
}

QRectF ResultGridView::PixelArea(const Label& label) {
  return TwipsToPixelsF(label.left, label.top, label.width, label.height);
}

ResultGridView::~ResultGridView() = default;

void ResultGridView::LabelAreaChanged(const Label& label) {
  rowsStale_ = true;
  const QRect area = PixelArea(label).toAlignedRect();
  if (!area.intersects(rect())) return;
  pending_ = pending_.united(area);
  update(pending_);
}

void ResultGridView::paintEvent(QPaintEvent* event) {
  pending_ = QRect();
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::WindowText));
  const QRect dirty = event->rect();
  for (int i = 1; i < labels_.Count(); ++i) {
    if (!labels_.IsLoaded(i)) continue;
    const Label& label = labels_[i];
    if (!label.visible) continue;
    const QRectF area = PixelArea(label);
    if (!area.intersects(dirty)) continue;
    painter.drawText(area, Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(label.caption));
  }
}

}  // namespace tambrel
