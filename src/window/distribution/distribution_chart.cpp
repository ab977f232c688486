#include "window/distribution/distribution_chart.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "window/chart_axis.h"
#include "window/distribution/distribution_table.h"

namespace tambrel {
namespace {

constexpr int kGap = 6;
constexpr int kTicks = 5;

}  // namespace

DistributionChart::DistributionChart(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void DistributionChart::SetBars(std::vector<Bar> bars) {
  bars_ = std::move(bars);
  updateGeometry();
  update();
}

QSize DistributionChart::sizeHint() const { return minimumSizeHint().expandedTo({560, 300}); }

QSize DistributionChart::minimumSizeHint() const {
  // Room for every grouped bar's label, written upwards.
  const int slots = bars_.size() > static_cast<std::size_t>(kMostGroupedBars)
                        ? 0
                        : static_cast<int>(bars_.size());
  return {fontMetrics().height() * (slots + 4), fontMetrics().height() * 10};
}

void DistributionChart::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QFontMetrics metrics = fontMetrics();
  const QColor ink = palette().color(QPalette::WindowText);

  double top = 1;
  for (const Bar& bar : bars_) top = std::max({top, static_cast<double>(bar.count), bar.expected});
  // Counts are whole: a step is never less than 1.
  const double step = TickStep(top, kTicks, 1.0);
  const double axisTop = std::ceil(top / step) * step;

  QStringList labels;
  int widestLabel = 0;
  for (const Bar& bar : bars_) {
    labels.append(ValuesOf(bar));
    widestLabel = std::max(widestLabel, metrics.horizontalAdvance(labels.back()));
  }
  const int left = metrics.horizontalAdvance(QString::number(axisTop, 'f', 0)) + 2 * kGap;
  const int plotWidth = std::max(width() - left - kGap, 1);
  const int count = std::max(static_cast<int>(bars_.size()), 1);
  const double slot = static_cast<double>(plotWidth) / count;
  const bool upright = widestLabel + kGap <= slot;
  const int bottomRoom = (upright ? metrics.height() : widestLabel) + kGap;
  const QRect plot(left, metrics.height(), plotWidth,
                   std::max(height() - metrics.height() - bottomRoom, 1));
  const auto yOf = [&](double value) {
    return plot.bottom() - static_cast<int>(std::lround(value / axisTop * plot.height()));
  };
  const auto xOf = [&](std::size_t index) {
    return plot.left() + static_cast<int>(std::lround(static_cast<double>(index) * slot));
  };

  // The count axis: rules across the plot, their counts to the left.
  DrawRules(painter, palette(), metrics, plot, left - kGap, axisTop, step, yOf,
            [](double tick) { return QString::number(tick, 'f', 0); });

  // A label under every bar while they fit, whether across or written
  // upwards; beyond that every so many.
  const std::int64_t labelEvery = upright ? 1 : LabelStep(std::ceil(metrics.height() / slot));
  const QColor fill = palette().color(QPalette::Highlight);
  // One path, so that the dashes run on evenly from bar to bar.
  QPainterPath expected;
  for (std::size_t i = 0; i < bars_.size(); ++i) {
    const int x0 = xOf(i);
    const int x1 = xOf(i + 1);
    const int inset = (x1 - x0) >= 4 ? std::max(1, (x1 - x0) / 8) : 0;
    const int y = yOf(static_cast<double>(bars_[i].count));
    painter.fillRect(QRect(QPoint(x0 + inset, y), QPoint(x1 - inset - 1, plot.bottom())), fill);
    const int expectedY = yOf(bars_[i].expected);
    if (i == 0) {
      expected.moveTo(x0, expectedY);
    } else {
      expected.lineTo(x0, expectedY);
    }
    expected.lineTo(x1, expectedY);

    if (i != 0 && (i + 1) % static_cast<std::size_t>(labelEvery) != 0) continue;
    painter.setPen(ink);
    if (upright) {
      painter.drawText(QRect(x0, plot.bottom() + kGap / 2, x1 - x0, metrics.height()),
                       Qt::AlignHCenter | Qt::AlignTop, labels[static_cast<int>(i)]);
    } else {
      painter.save();
      painter.translate((x0 + x1) / 2 + metrics.ascent() / 2, plot.bottom() + kGap / 2);
      painter.rotate(-90);
      painter.drawText(QRect(-widestLabel, -metrics.ascent(), widestLabel, metrics.height()),
                       Qt::AlignRight | Qt::AlignVCenter, labels[static_cast<int>(i)]);
      painter.restore();
    }
  }
  painter.setPen(ink);
  painter.drawLine(plot.left(), plot.bottom(), plot.right(), plot.bottom());
  QPen expectedPen(ink, 2, Qt::DashLine, Qt::FlatCap, Qt::MiterJoin);
  expectedPen.setCosmetic(true);
  painter.strokePath(expected, expectedPen);
}

}  // namespace tambrel
