#include "window/chart_axis.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QRect>
#include <algorithm>
#include <cmath>

namespace tambrel {

double TickStep(double top, int ticks, double least) {
  const double raw = std::max(top / ticks, least);
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  for (const double factor : {1.0, 2.0, 5.0}) {
    if (factor * magnitude >= raw) return factor * magnitude;
  }
  return 10 * magnitude;
}

std::int64_t LabelStep(double needed) {
  for (std::int64_t magnitude = 1;; magnitude *= 10) {
    for (const std::int64_t factor : {1, 2, 5}) {
      if (static_cast<double>(factor * magnitude) >= needed) return factor * magnitude;
    }
  }
}

void DrawRules(QPainter& painter, const QPalette& palette, const QFontMetrics& metrics,
               const QRect& plot, int margin, double axisTop, double step,
               const std::function<int(double)>& yOf, const std::function<QString(double)>& label) {
  const QColor ink = palette.color(QPalette::WindowText);
  QColor rule = ink;
  rule.setAlphaF(0.25F);
  for (double tick = 0; tick <= axisTop + step / 2; tick += step) {
    const int y = yOf(tick);
    painter.setPen(rule);
    painter.drawLine(plot.left(), y, plot.right(), y);
    painter.setPen(ink);
    painter.drawText(QRect(0, y - metrics.height() / 2, margin, metrics.height()),
                     Qt::AlignRight | Qt::AlignVCenter, label(tick));
  }
}

}  // namespace tambrel
