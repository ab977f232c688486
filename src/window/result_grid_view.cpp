#include "window/result_grid_view.h"

#include <QPaintEvent>
#include <QPainter>

#include "window/twips.h"

namespace tambrel {

ResultGridView::ResultGridView(const LabelArray& labels, QWidget* parent)
    : QWidget(parent), labels_(labels) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
}

ResultGridView::~ResultGridView() = default;

void ResultGridView::LabelAreaChanged(const Label& label) {
  const QRect area =
      TwipsToPixelsF(label.left, label.top, label.width, label.height).toAlignedRect();
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
    const QRectF area = TwipsToPixelsF(label.left, label.top, label.width, label.height);
    if (!area.intersects(dirty)) continue;
    painter.drawText(area, Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(label.caption));
  }
}

}  // namespace tambrel
