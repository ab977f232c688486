#include "window/dice/odds_chart.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <span>

#include "window/chart_axis.h"

namespace tambrel {
namespace {

constexpr int kGap = 6;
constexpr int kTicks = 4;
// Relative to the tallest bar: a thousandth is under a pixel.
constexpr double kSmallestShown = 1e-3;

QString PercentLabel(double percent, double step) {
  const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step))));
  return QString::number(percent, 'f', decimals) + QLatin1Char('%');
}

}  // namespace

OddsChart::OddsChart(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void OddsChart::SetOdds(std::shared_ptr<const dice::Odds> odds, std::vector<std::int64_t> rolled) {
  odds_ = std::move(odds);
  rolled_ = std::move(rolled);
  std::sort(rolled_.begin(), rolled_.end());
  update();
}

void OddsChart::SetObserved(std::shared_ptr<const std::map<std::int64_t, std::uint64_t>> observed) {
  observed_ = std::move(observed);
  observedRolls_ = 0;
  if (observed_) {
    for (const auto& [total, count] : *observed_) observedRolls_ += count;
  }
  update();
}

QSize OddsChart::minimumSizeHint() const {
  return {fontMetrics().height() * 12, fontMetrics().height() * 8};
}

void OddsChart::paintEvent(QPaintEvent* /*event*/) {
  if (!odds_ || odds_->totals.empty()) return;
  QPainter painter(this);
  const QFontMetrics metrics = fontMetrics();
  const QColor ink = palette().color(QPalette::WindowText);
  const QColor shade = palette().color(QPalette::Mid);
  const QColor rolledFill = palette().color(QPalette::Highlight);

  // The totals drawn: those a bar of the chart can show, and those rolled;
  // an exploding die's long tail of tiny chances would squeeze the rest.
  double top = 0;
  for (const dice::Chance& chance : odds_->totals) top = std::max(top, chance.chance * 100);
  if (observedRolls_ > 0) {
    for (const auto& [total, count] : *observed_) {
      top = std::max(top, static_cast<double>(count) / static_cast<double>(observedRolls_) * 100);
    }
  }
  const auto shows = [&](const dice::Chance& chance) {
    return chance.chance * 100 >= top * kSmallestShown ||
           std::binary_search(rolled_.begin(), rolled_.end(), chance.total);
  };
  const std::span<const dice::Chance> all(odds_->totals);
  std::size_t first = 0;
  std::size_t last = all.size();
  while (first < last && !shows(all[first])) ++first;
  while (last > first && !shows(all[last - 1])) --last;
  if (first == last) return;
  const std::span<const dice::Chance> totals = all.subspan(first, last - first);
  const double step = TickStep(top, kTicks, 1e-9);
  const double axisTop = std::ceil(top / step) * step;

  const int left = metrics.horizontalAdvance(PercentLabel(axisTop, step)) + 2 * kGap;
  const QRect plot(left, metrics.height() / 2, std::max(width() - left - kGap, 1),
                   std::max(height() - 2 * metrics.height() - kGap, 1));
  const auto yOf = [&](double percent) {
    return plot.bottom() - static_cast<int>(std::lround(percent / axisTop * plot.height()));
  };
  const std::int64_t lowest = totals.front().total;
  const double span = static_cast<double>(totals.back().total - lowest + 1);
  const double slot = plot.width() / span;
  const auto xOf = [&](std::int64_t total) {
    return plot.left() + static_cast<int>(std::lround(static_cast<double>(total - lowest) * slot));
  };

  DrawRules(painter, palette(), metrics, plot, left - kGap, axisTop, step, yOf,
            [step](double tick) { return PercentLabel(tick, step); });

  // Bars narrower than a pixel still show: each is at least one wide. With
  // rolls counted, the exact bar takes the left of its place and the mark
  // of the share observed, a thin stem with a cap at its height, the right.
  const bool marked = observedRolls_ > 0;
  const QColor markFill = palette().color(QPalette::WindowText);
  for (const dice::Chance& chance : totals) {
    const int x0 = xOf(chance.total);
    const int x1 = std::max(xOf(chance.total + 1), x0 + 1);
    const int inset = (x1 - x0) >= 4 ? std::max(1, (x1 - x0) / 8) : 0;
    const int split = marked && x1 - x0 >= 6 ? x0 + (x1 - x0) * 5 / 8 : x1;
    const bool rolled = std::binary_search(rolled_.begin(), rolled_.end(), chance.total);
    const int y = std::min(yOf(chance.chance * 100), plot.bottom() - (rolled ? 2 : 0));
    painter.fillRect(QRect(QPoint(x0 + inset, y), QPoint(split - inset - 1, plot.bottom())),
                     rolled ? rolledFill : shade);
    if (!marked) continue;
    const auto found = observed_->find(chance.total);
    if (found == observed_->end()) continue;
    const double share =
        static_cast<double>(found->second) / static_cast<double>(observedRolls_) * 100;
    const int markY = yOf(share);
    if (split < x1) {
      const int stem = std::max(1, (x1 - split) / 4);
      const int middle = (split + x1 - inset) / 2;
      painter.fillRect(QRect(middle - stem / 2, markY, stem, plot.bottom() - markY), markFill);
      painter.fillRect(QRect(QPoint(split, markY - 1), QPoint(x1 - inset - 1, markY)), markFill);
    } else {
      painter.fillRect(QRect(x0, markY - 1, x1 - x0, 2), markFill);
    }
  }
  painter.setPen(ink);
  painter.drawLine(plot.left(), plot.bottom(), plot.right(), plot.bottom());

  // The totals along the bottom, at a step that keeps them apart.
  const std::int64_t widest = std::max(std::abs(lowest), std::abs(totals.back().total));
  const int labelWidth = metrics.horizontalAdvance(QString::number(-widest)) + kGap;
  const std::int64_t every = LabelStep(labelWidth / slot);
  for (std::int64_t total = lowest + ((every - lowest % every) % every); total <= totals.back().total;
       total += every) {
    const int centre = (xOf(total) + xOf(total + 1)) / 2;
    painter.drawText(QRect(centre - labelWidth / 2, plot.bottom() + kGap / 2, labelWidth,
                           metrics.height()),
                     Qt::AlignHCenter | Qt::AlignTop, QString::number(total));
  }
}

}  // namespace tambrel
