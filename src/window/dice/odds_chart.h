#pragma once

#include <QWidget>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "roll/dice/odds.h"

namespace tambrel {

// The exact chance of every total as a bar, the totals just rolled in the
// palette's highlight, the others in its muted shade, and beside each bar
// a mark at the share of the rolls counted that gave that total: readable
// in a dark theme and sharp at any scale, like the Distribution window's
// chart.
class OddsChart final : public QWidget {
  Q_OBJECT

 public:
  explicit OddsChart(QWidget* parent = nullptr);

  void SetOdds(std::shared_ptr<const dice::Odds> odds, std::vector<std::int64_t> rolled);
  // How often each total came up; null or empty: no marks.
  void SetObserved(std::shared_ptr<const std::map<std::int64_t, std::uint64_t>> observed);

  [[nodiscard]] QSize sizeHint() const override { return {480, 220}; }
  [[nodiscard]] QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::shared_ptr<const dice::Odds> odds_;
  std::vector<std::int64_t> rolled_;  // sorted
  std::shared_ptr<const std::map<std::int64_t, std::uint64_t>> observed_;
  std::uint64_t observedRolls_ = 0;
};

}  // namespace tambrel
