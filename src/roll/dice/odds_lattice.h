#pragma once

// The odds engine's inside: distributions over evenly spaced totals, and
// what combining them costs, worked out from their shapes alone so that the
// estimate and the work never disagree. Not for use outside src/roll/dice/.

#include <cstdint>
#include <stop_token>
#include <vector>

namespace tambrel::dice::odds {

// Totals lowest, lowest + step, ... : `size` of them (step 0 when size is 1).
struct Shape {
  std::int64_t lowest = 0;
  std::uint64_t step = 0;
  std::int64_t size = 1;

  // Worked out modulo 2^64: a lattice's totals all fit 64 bits, the steps
  // between them need not.
  [[nodiscard]] std::int64_t Highest() const {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(lowest) +
                                     step * static_cast<std::uint64_t>(size - 1));
  }
};

// Chances over a shape's totals; zero for a total that cannot come up.
struct Lattice {
  Shape shape;
  std::vector<double> chances;
};

// Work is counted in units of about one multiply-add of doubles.
struct Cost {
  double units = 0;
  std::int64_t largest = 1;   // the most totals any part has
  void Add(double work, const Shape& result);
};

// Thrown out of the work when its stop_token asks.
struct Stopped {};
void CheckStop(const std::stop_token& stop);

[[nodiscard]] Lattice Point(std::int64_t value);

// Shapes: the same arithmetic the operations below size their results by.
[[nodiscard]] Shape NegateShape(const Shape& a);
[[nodiscard]] Shape AddShape(const Shape& a, const Shape& b);
[[nodiscard]] Shape MultiplyShape(const Shape& a, const Shape& b);
[[nodiscard]] Shape DivideShape(const Shape& a, const Shape& b);
// What each costs in units: every pair of totals; a sum's pairs cost three
// times as much when its inner loop lands a step of more than one apart,
// which the compiler cannot vectorise.
[[nodiscard]] double PairwiseCost(const Shape& a, const Shape& b);
[[nodiscard]] double AddCost(const Shape& a, const Shape& b);

[[nodiscard]] Lattice Negate(Lattice a);
[[nodiscard]] Lattice Add(Lattice a, Lattice b, const std::stop_token& stop);
[[nodiscard]] Lattice Multiply(const Lattice& a, const Lattice& b, const std::stop_token& stop);
// Rounds down; b never holds 0 (the parser refuses such a divisor).
[[nodiscard]] Lattice Divide(const Lattice& a, const Lattice& b, const std::stop_token& stop);

}  // namespace tambrel::dice::odds
