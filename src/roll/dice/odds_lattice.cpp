#include "roll/dice/odds_lattice.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <utility>

namespace tambrel::dice::odds {
namespace {

__extension__ using Wide = unsigned __int128;

// std::gcd takes no 128-bit numbers in strict C++.
Wide Gcd(Wide a, Wide b) {
  while (b != 0) a = std::exchange(b, a % b);
  return a;
}

// How many totals from lowest to highest a step apart; saturated, since
// only a comparison with the limit follows.
std::int64_t SizeOf(std::int64_t lowest, std::int64_t highest, std::uint64_t step) {
  if (step == 0 || lowest == highest) return 1;
  const std::uint64_t count = (static_cast<std::uint64_t>(highest) - static_cast<std::uint64_t>(lowest)) / step;
  return count >= static_cast<std::uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<std::int64_t>(count) + 1;
}

Shape Spanning(std::int64_t lowest, std::int64_t highest, std::uint64_t step) {
  const std::int64_t size = SizeOf(lowest, highest, step);
  return {lowest, size == 1 ? 0 : step, size};
}

std::uint64_t Magnitude(std::int64_t value) {
  return value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
}

std::int64_t FloorDivide(std::int64_t a, std::int64_t b) {
  std::int64_t quotient = a / b;
  if (a % b != 0 && ((a < 0) != (b < 0))) --quotient;
  return quotient;
}

std::int64_t At(const Shape& shape, std::int64_t i) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(shape.lowest) +
                                   shape.step * static_cast<std::uint64_t>(i));
}

std::size_t IndexOf(const Shape& shape, std::int64_t value) {
  if (shape.size == 1) return 0;
  const std::uint64_t offset = static_cast<std::uint64_t>(value) - static_cast<std::uint64_t>(shape.lowest);
  if (shape.step == 1) return static_cast<std::size_t>(offset);
  return static_cast<std::size_t>(offset / shape.step);
}

template <typename Combine>
std::array<std::int64_t, 2> Corners(const Shape& a, const Shape& b, Combine combine) {
  const std::array<std::int64_t, 4> corners{combine(a.lowest, b.lowest), combine(a.lowest, b.Highest()),
                                            combine(a.Highest(), b.lowest),
                                            combine(a.Highest(), b.Highest())};
  return {std::ranges::min(corners), std::ranges::max(corners)};
}

// Every pair of totals, each result counted where `combine` puts it.
template <typename Combine>
Lattice Pairwise(const Lattice& a, const Lattice& b, const Shape& shape, Combine combine,
                 const std::stop_token& stop) {
  Lattice out{shape, std::vector<double>(static_cast<std::size_t>(shape.size), 0.0)};
  for (std::size_t i = 0; i < a.chances.size(); ++i) {
    if (a.chances[i] == 0) continue;
    if ((i & 63) == 0) CheckStop(stop);
    const std::int64_t x = At(a.shape, static_cast<std::int64_t>(i));
    for (std::size_t j = 0; j < b.chances.size(); ++j) {
      if (b.chances[j] == 0) continue;
      out.chances[IndexOf(shape, combine(x, At(b.shape, static_cast<std::int64_t>(j))))] +=
          a.chances[i] * b.chances[j];
    }
  }
  return out;
}

// Which side of a sum runs in the inner loop: the longer, whose run the
// compiler vectorises, when it lands on every total; otherwise the one
// that spans fewer totals, so that each pass over it stays in the cache
// while the other walks the result once.
bool AIsInner(const Shape& a, const Shape& b, const Shape& sum) {
  const auto stride = [&](const Shape& side) { return sum.step == 0 ? 0 : side.step / sum.step; };
  const Shape& longer = a.size < b.size ? b : a;
  if (stride(longer) <= 1) return &longer == &a;
  const auto span = [&](const Shape& side) { return static_cast<double>(side.size) * static_cast<double>(stride(side)); };
  return span(a) < span(b);
}

}  // namespace

void Cost::Add(double work, const Shape& result) {
  units += work;
  largest = std::max(largest, result.size);
}

void CheckStop(const std::stop_token& stop) {
  if (stop.stop_requested()) throw Stopped{};
}

Lattice Point(std::int64_t value) { return {{value, 0, 1}, {1.0}}; }

Shape NegateShape(const Shape& a) { return {-a.Highest(), a.step, a.size}; }

Shape AddShape(const Shape& a, const Shape& b) {
  return Spanning(a.lowest + b.lowest, a.Highest() + b.Highest(), std::gcd(a.step, b.step));
}

Shape MultiplyShape(const Shape& a, const Shape& b) {
  const auto [lowest, highest] = Corners(a, b, [](std::int64_t x, std::int64_t y) { return x * y; });
  // (a0 + i sa)(b0 + j sb) - a0 b0 = i sa b0 + j sb a0 + i j sa sb: every
  // product lies on the lattice of the gcd of those three steps.
  const Wide step = Gcd(Gcd(Wide{a.step} * Magnitude(b.lowest), Wide{b.step} * Magnitude(a.lowest)),
                        Wide{a.step} * b.step);
  const auto span = static_cast<std::uint64_t>(highest) - static_cast<std::uint64_t>(lowest);
  return Spanning(lowest, highest, span == 0 ? 0 : static_cast<std::uint64_t>(Gcd(step, Wide{span})));
}

Shape DivideShape(const Shape& a, const Shape& b) {
  const auto [lowest, highest] = Corners(a, b, FloorDivide);
  if (b.size == 1 && a.step % Magnitude(b.lowest) == 0) {
    return Spanning(lowest, highest, a.step / Magnitude(b.lowest));
  }
  return Spanning(lowest, highest, 1);
}

double PairwiseCost(const Shape& a, const Shape& b) {
  return static_cast<double>(a.size) * static_cast<double>(b.size);
}

double AddCost(const Shape& a, const Shape& b) {
  const Shape sum = AddShape(a, b);
  const Shape& inner = AIsInner(a, b, sum) ? a : b;
  const bool unitStride = sum.step == 0 || inner.step == sum.step;
  return PairwiseCost(a, b) * (unitStride ? 1 : 3) + static_cast<double>(sum.size);
}

Lattice Negate(Lattice a) {
  a.shape = NegateShape(a.shape);
  std::ranges::reverse(a.chances);
  return a;
}

Lattice Add(Lattice a, Lattice b, const std::stop_token& stop) {
  const Shape shape = AddShape(a.shape, b.shape);
  // A number moves each total without merging any: the other side as it
  // is, not copied.
  if (a.shape.size == 1) std::swap(a, b);
  if (b.shape.size == 1) {
    a.shape = shape;
    return a;
  }
  const Lattice& inner = AIsInner(a.shape, b.shape, shape) ? a : b;
  const Lattice& outer = &inner == &a ? b : a;
  const std::size_t outerStride = shape.step == 0 ? 0 : outer.shape.step / shape.step;
  const std::size_t innerStride = shape.step == 0 ? 0 : inner.shape.step / shape.step;
  Lattice out{shape, std::vector<double>(static_cast<std::size_t>(shape.size), 0.0)};
  for (std::size_t i = 0; i < outer.chances.size(); ++i) {
    const double chance = outer.chances[i];
    if (chance == 0) continue;
    if ((i & 15) == 0) CheckStop(stop);
    double* row = out.chances.data() + i * outerStride;
    if (innerStride == 1) {
      for (std::size_t j = 0; j < inner.chances.size(); ++j) row[j] += inner.chances[j] * chance;
    } else {
      for (std::size_t j = 0; j < inner.chances.size(); ++j) row[j * innerStride] += inner.chances[j] * chance;
    }
  }
  return out;
}

Lattice Multiply(const Lattice& a, const Lattice& b, const std::stop_token& stop) {
  const Shape shape = MultiplyShape(a.shape, b.shape);
  if (a.shape.size == 1 || b.shape.size == 1) {
    // A constant factor moves each total without merging any.
    const Lattice& scaled = a.shape.size == 1 ? b : a;
    const std::int64_t factor = a.shape.size == 1 ? a.shape.lowest : b.shape.lowest;
    if (factor == 0 || scaled.shape.size == 1) return Point(shape.lowest);
    Lattice out{shape, scaled.chances};
    if (factor < 0) std::ranges::reverse(out.chances);
    return out;
  }
  return Pairwise(a, b, shape, [](std::int64_t x, std::int64_t y) { return x * y; }, stop);
}

Lattice Divide(const Lattice& a, const Lattice& b, const std::stop_token& stop) {
  const Shape shape = DivideShape(a.shape, b.shape);
  if (b.shape.size == 1 && a.shape.step % Magnitude(b.shape.lowest) == 0) {
    Lattice out{shape, a.chances};
    if (b.shape.lowest < 0) std::ranges::reverse(out.chances);
    return out;
  }
  return Pairwise(a, b, shape, FloorDivide, stop);
}

}  // namespace tambrel::dice::odds
