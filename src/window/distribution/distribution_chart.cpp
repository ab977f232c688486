#include "window/distribution/distribution_chart.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "window/distribution/distribution_table.h"

namespace tambrel {
namespace {

constexpr int kGap = 6;
constexpr int kTicks = 5;

// A step of 1, 2 or 5 times a power of ten that divides the axis into about
// kTicks parts; counts are whole, so never less than 1.
double TickStep(double top) {
  const double raw = std::max(top / kTicks, 1.0);
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  for (const double factor : {1.0, 2.0, 5.0}) {
    if (factor * magnitude >= raw) return factor * magnitude;
  }
  return 10 * magnitude;
}

// Every bar, or every 2nd, 5th, 10th, ... so that a d100's labels read 1,
// 5, 10, 15 rather than 1, 4, 7.
int LabelStep(int needed) {
  for (int magnitude = 1;; magnitude *= 10) {
    for (const int factor : {1, 2, 5}) {
      if (factor * magnitude >= needed) return factor * magnitude;
    }
  }
}

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
  QColor rule = ink;
  rule.setAlphaF(0.25F);

  double top = 1;
  for (const Bar& bar : bars_) top = std::max({top, static_cast<double>(bar.count), bar.expected});
  const double step = TickStep(top);
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
  for (double tick = 0; tick <= axisTop + step / 2; tick += step) {
    const int y = yOf(tick);
    painter.setPen(rule);
    painter.drawLine(plot.left(), y, plot.right(), y);
    painter.setPen(ink);
    painter.drawText(QRect(0, y - metrics.height() / 2, left - kGap, metrics.height()),
                     Qt::AlignRight | Qt::AlignVCenter, QString::number(tick, 'f', 0));
  }

  // A label under every bar while they fit, whether across or written
  // upwards; beyond that every so many.
  const int labelEvery = upright ? 1 : LabelStep(static_cast<int>(std::ceil(metrics.height() / slot)));
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
