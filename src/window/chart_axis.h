#pragma once

#include <QString>
#include <cstdint>
#include <functional>

class QFontMetrics;
class QPainter;
class QPalette;
class QRect;

namespace tambrel {

// What the Distribution and Dice windows' bar charts share: the steps of
// their axes and the rules across the plot.

// A step of 1, 2 or 5 times a power of ten that divides `top` into about
// `ticks` parts, never less than `least`.
[[nodiscard]] double TickStep(double top, int ticks, double least);

// Every item, or every 2nd, 5th, 10th, ... so that labels that need
// `needed` items' room apiece never touch, and read 1, 5, 10, 15 rather
// than 1, 4, 7.
[[nodiscard]] std::int64_t LabelStep(double needed);

// A faint rule across `plot` at every `step` from 0 to `axisTop`, each
// labelled to its left, right-aligned in the `margin` pixels before `gap`.
void DrawRules(QPainter& painter, const QPalette& palette, const QFontMetrics& metrics,
               const QRect& plot, int margin, double axisTop, double step,
               const std::function<int(double)>& yOf, const std::function<QString(double)>& label);

}  // namespace tambrel
