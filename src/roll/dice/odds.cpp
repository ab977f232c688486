#include "roll/dice/odds.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "roll/dice/odds_lattice.h"
#include "roll/dice/odds_terms.h"

namespace tambrel::dice {
namespace {

using odds::Cost;
using odds::Lattice;
using odds::Shape;

// How many units of work (odds_lattice.h) this machine does in a
// millisecond on the slowest kinds of work (about one a nanosecond for
// sums of many dice of up to 16 faces and for products of wide ranges),
// with room left for a busy machine: the slowest odds allowed take about
// 60 ms rather than the 100 allowed.
constexpr double kUnitsPerMillisecond = 0.6e6;
constexpr double kBudget = kOddsBudgetMilliseconds * kUnitsPerMillisecond;

// A total of the result: its row in the table (32 bytes) and its place in
// the last sum (8), most of it the first touch of that memory, which on
// this machine costs 1 to 3 ms a megabyte.
constexpr double kPerRow = 48;

// Refused on the way: too many totals, or too much work.
struct TooLarge {};

// What one operation on whole distributions costs: every pair of totals,
// or about each total once when one side is a single number.
double Combining(const Shape& a, const Shape& b, const Shape& result, double perPair) {
  if (a.size == 1 || b.size == 1) return static_cast<double>(result.size);
  return perPair * odds::PairwiseCost(a, b) + static_cast<double>(result.size);
}

class Walk {
 public:
  explicit Walk(const Expression& expression) : expression_(expression) {
    for (const DiceTerm& term : expression.Dice()) {
      reaches_.push_back(odds::ReachOf(term));
      truncated_ = truncated_ || reaches_.back().truncated;
    }
  }

  // The estimate: the shape of every part, and the work, before any.
  bool WithinReach() {
    try {
      shape_ = Estimate(expression_.RootIndex());
      // Then a row for each total, its running sums and the moments.
      cost_.units += kPerRow * static_cast<double>(shape_.size);
      if (cost_.units > kBudget) return false;
    } catch (const TooLarge&) {
      return false;
    }
    return true;
  }

  Lattice Compute(std::int32_t index, const std::stop_token& stop) const {
    const Node& node = NodeAt(index);
    switch (node.kind) {
      case Node::Kind::Number: return odds::Point(node.number);
      case Node::Kind::Dice: {
        const auto at = static_cast<std::size_t>(node.dice);
        return odds::TermOdds(expression_.Dice()[at], reaches_[at], stop);
      }
      case Node::Kind::Negate: return odds::Negate(Compute(node.left, stop));
      case Node::Kind::Group: return Compute(node.left, stop);
      default: break;
    }
    Lattice left = Compute(node.left, stop);
    Lattice right = Compute(node.right, stop);
    switch (node.kind) {
      case Node::Kind::Add: return odds::Add(std::move(left), std::move(right), stop);
      case Node::Kind::Subtract: return odds::Add(std::move(left), odds::Negate(std::move(right)), stop);
      case Node::Kind::Multiply: return odds::Multiply(left, right, stop);
      default: return odds::Divide(left, right, stop);
    }
  }

  [[nodiscard]] bool Truncated() const { return truncated_; }
  [[nodiscard]] const Shape& RootShape() const { return shape_; }

 private:
  const Node& NodeAt(std::int32_t index) const {
    return expression_.Nodes()[static_cast<std::size_t>(index)];
  }

  Shape Estimate(std::int32_t index) {
    const Node& node = NodeAt(index);
    Shape shape;
    switch (node.kind) {
      case Node::Kind::Number: shape = {node.number, 0, 1}; break;
      case Node::Kind::Dice: {
        const auto at = static_cast<std::size_t>(node.dice);
        shape = odds::TermShape(expression_.Dice()[at], reaches_[at], cost_);
        break;
      }
      case Node::Kind::Negate: shape = odds::NegateShape(Estimate(node.left)); break;
      case Node::Kind::Group: shape = Estimate(node.left); break;
      default: {
        const Shape left = Estimate(node.left);
        const Shape right = Estimate(node.right);
        // A product or quotient finds each pair's place by a division.
        constexpr double kPerPair = 35;
        switch (node.kind) {
          case Node::Kind::Add:
            shape = odds::AddShape(left, right);
            cost_.Add(odds::AddCost(left, right), shape);
            break;
          case Node::Kind::Subtract:
            shape = odds::AddShape(left, odds::NegateShape(right));
            cost_.Add(odds::AddCost(left, odds::NegateShape(right)), shape);
            break;
          case Node::Kind::Multiply:
            shape = odds::MultiplyShape(left, right);
            cost_.Add(Combining(left, right, shape, kPerPair), shape);
            break;
          default:
            shape = odds::DivideShape(left, right);
            cost_.Add(Combining(left, right, shape, kPerPair), shape);
        }
      }
    }
    // Stop at the first part too large, before its bounds are used again.
    cost_.largest = std::max(cost_.largest, shape.size);
    if (cost_.largest > kMostTotals || cost_.units > kBudget) throw TooLarge{};
    return shape;
  }

  const Expression& expression_;
  std::vector<odds::DieReach> reaches_;
  bool truncated_ = false;
  Cost cost_;
  Shape shape_;
};

Odds Tabulate(const Lattice& lattice, bool truncated) {
  Odds odds;
  odds.lowest = lattice.shape.lowest;
  odds.highest = lattice.shape.Highest();
  odds.truncated = truncated;
  // The moments from the lattice, a quarter the size of the table, in
  // steps from the lowest total: exact in long double whatever the totals.
  const std::vector<double>& chances = lattice.chances;
  std::size_t rows = 0;
  long double mean = 0;
  for (std::size_t i = 0; i < chances.size(); ++i) {
    rows += chances[i] > 0;
    mean += static_cast<long double>(i) * chances[i];
  }
  long double variance = 0;
  for (std::size_t i = 0; i < chances.size(); ++i) {
    const long double off = static_cast<long double>(i) - mean;
    variance += off * off * chances[i];
  }
  const auto step = static_cast<long double>(lattice.shape.step);
  odds.mean = static_cast<double>(static_cast<long double>(lattice.shape.lowest) + step * mean);
  odds.standardDeviation = static_cast<double>(step * std::sqrt(variance));

  // Sized once: a million rows grown by doubling would be copied and
  // faulted in twice over. Each running sum from its own end, so that a
  // small tail is not the difference of two numbers near 1.
  odds.totals.reserve(rows);
  double sum = 0;
  for (std::size_t i = 0; i < chances.size(); ++i) {
    if (chances[i] <= 0) continue;
    const auto total = static_cast<std::int64_t>(static_cast<std::uint64_t>(lattice.shape.lowest) +
                                                 lattice.shape.step * i);
    odds.totals.push_back({total, chances[i], 0, sum += chances[i]});
  }
  sum = 0;
  for (auto row = odds.totals.rbegin(); row != odds.totals.rend(); ++row) row->atLeast = sum += row->chance;
  return odds;
}

}  // namespace

const Chance* Odds::Find(std::int64_t total) const {
  const auto found = std::ranges::lower_bound(totals, total, {}, &Chance::total);
  return found != totals.end() && found->total == total ? &*found : nullptr;
}

bool OddsWithinReach(const Expression& expression) { return Walk(expression).WithinReach(); }

std::optional<Odds> ExactOdds(const Expression& expression, std::stop_token stop) {
  Walk walk(expression);
  if (!walk.WithinReach()) return std::nullopt;
  try {
    return Tabulate(walk.Compute(expression.RootIndex(), stop), walk.Truncated());
  } catch (const odds::Stopped&) {
    return std::nullopt;
  }
}

std::string PercentText(double chance) {
  const double percent = chance * 100;
  char text[40];
  if (percent >= 0.001 || percent == 0) {
    // Enough decimals for four significant digits: 16.67, 4.630, 0.004630.
    const int decimals = percent == 0 ? 0 : std::max(1, 3 - static_cast<int>(std::floor(std::log10(percent))));
    std::snprintf(text, sizeof text, "%.*f%%", decimals, percent);
  } else {
    std::snprintf(text, sizeof text, "%.3e%%", percent);
  }
  return text;
}

std::string OddsTableText(const Odds& odds,
                          const std::map<std::int64_t, std::uint64_t>* observed) {
  std::string text = "Total\tChance\tAt least\tAt most";
  text += observed != nullptr ? "\tObserved\n" : "\n";
  for (const Chance& row : odds.totals) {
    text += std::to_string(row.total) + '\t' + PercentText(row.chance) + '\t' +
            PercentText(row.atLeast) + '\t' + PercentText(row.atMost);
    if (observed != nullptr) {
      const auto found = observed->find(row.total);
      text += '\t' + std::to_string(found == observed->end() ? 0 : found->second);
    }
    text += '\n';
  }
  return text;
}

}  // namespace tambrel::dice
