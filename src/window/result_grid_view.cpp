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

// One result label as a screen reader sees it: static text named by its
// value, at its place on screen. It reads the label array live.
class ResultLabelAccessible final : public QAccessibleInterface {
 public:
  ResultLabelAccessible(ResultGridView* view, int index) : view_(view), index_(index) {}

  bool isValid() const override {
    return view_ != nullptr && view_->Labels().IsLoaded(index_) && view_->Labels()[index_].visible;
  }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override {
    return view_ != nullptr ? view_->window()->windowHandle() : nullptr;
  }
  QAccessibleInterface* parent() const override {
    return QAccessible::queryAccessibleInterface(view_.data());
  }
  QAccessibleInterface* child(int /*index*/) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface* /*child*/) const override { return -1; }
  QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override { return nullptr; }
  QString text(QAccessible::Text type) const override {
    if (type != QAccessible::Name || !isValid()) return {};
    return QString::fromStdString(view_->Labels()[index_].caption);
  }
  void setText(QAccessible::Text /*type*/, const QString& /*text*/) override {}
  QRect rect() const override {
    if (!isValid()) return {};
    const QRect local = ResultGridView::PixelArea(view_->Labels()[index_]).toAlignedRect();
    return {view_->mapToGlobal(local.topLeft()), local.size()};
  }
  QAccessible::Role role() const override { return QAccessible::StaticText; }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.readOnly = true;
    return state;
  }

 private:
  QPointer<ResultGridView> view_;
  int index_;
};

// The grid as a group of its values, so that every value shown can be read
// although no widget stands behind it.
class ResultGridAccessible final : public QAccessibleWidget {
 public:
  explicit ResultGridAccessible(ResultGridView* view)
      : QAccessibleWidget(view, QAccessible::Grouping), view_(view) {}

  ~ResultGridAccessible() override {
    for (const auto& [index, id] : items_) QAccessible::deleteAccessibleInterface(id);
  }

  int childCount() const override { return static_cast<int>(view_->ShownLabels().size()); }

  QAccessibleInterface* child(int index) const override {
    const std::vector<int>& shown = view_->ShownLabels();
    if (index < 0 || static_cast<std::size_t>(index) >= shown.size()) return nullptr;
    return Item(shown[static_cast<std::size_t>(index)]);
  }

  int indexOfChild(const QAccessibleInterface* child) const override {
    const std::vector<int>& shown = view_->ShownLabels();
    for (const auto& [label, id] : items_) {
      if (QAccessible::accessibleInterface(id) != child) continue;
      const auto at = std::lower_bound(shown.begin(), shown.end(), label);
      if (at != shown.end() && *at == label) return static_cast<int>(at - shown.begin());
    }
    return -1;
  }

  QAccessibleInterface* childAt(int x, int y) const override {
    const QPoint local = view_->mapFromGlobal(QPoint(x, y));
    for (const int label : view_->ShownLabels()) {
      if (ResultGridView::PixelArea(view_->Labels()[label]).contains(local)) return Item(label);
    }
    return nullptr;
  }

 private:
  // Items are kept per label index and read the label live, so a cleared
  // and refilled grid reuses them.
  QAccessibleInterface* Item(int label) const {
    auto found = items_.find(label);
    if (found == items_.end()) {
      const QAccessible::Id id =
          QAccessible::registerAccessibleInterface(new ResultLabelAccessible(view_, label));
      found = items_.emplace(label, id).first;
    }
    return QAccessible::accessibleInterface(found->second);
  }

  ResultGridView* view_;
  mutable std::unordered_map<int, QAccessible::Id> items_;
};

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

const std::vector<int>& ResultGridView::ShownLabels() const {
  if (shownStale_) {
    shown_.clear();
    for (int i = 1; i < labels_.Count(); ++i) {
      if (labels_.IsLoaded(i) && labels_[i].visible) shown_.push_back(i);
    }
    shownStale_ = false;
  }
  return shown_;
}

QRectF ResultGridView::PixelArea(const Label& label) {
  return TwipsToPixelsF(label.left, label.top, label.width, label.height);
}

ResultGridView::~ResultGridView() = default;

void ResultGridView::LabelAreaChanged(const Label& label) {
  shownStale_ = true;
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
