#pragma once

#include <QWidget>
#include <vector>

#include "roll/distribution.h"

namespace tambrel {

// A bar per value, or per group of values, with a dashed mark at the count
// a fair die would give each bar. Drawn in the palette's colours, on whole
// pixels, so that it reads in a dark theme and stays sharp when scaled.
class DistributionChart final : public QWidget {
  Q_OBJECT

 public:
  explicit DistributionChart(QWidget* parent = nullptr);

  void SetBars(std::vector<Bar> bars);

  [[nodiscard]] QSize sizeHint() const override;
  [[nodiscard]] QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::vector<Bar> bars_;
};

}  // namespace tambrel
