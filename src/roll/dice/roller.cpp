#include "roll/dice/roller.h"

#include <algorithm>
#include <numeric>
#include <string>

namespace tambrel::dice {
namespace {

// Explosions went past the dice limit while the dice fell.
struct TooManyDice {
  std::int32_t column;
};

std::int64_t FloorDivide(std::int64_t a, std::int64_t b) {
  // The parser has made sure b is never 0 and the quotient fits.
  std::int64_t quotient = a / b;
  if (a % b != 0 && ((a < 0) != (b < 0))) --quotient;
  return quotient;
}

// Rolls one expression's tree. `Draw` gives a face between two bounds;
// with `record` off only the total is worked out, nothing kept but it.
template <typename Draw>
class Roller {
 public:
  Roller(const Expression& expression, Draw& draw) : expression_(expression), draw_(draw) {}

  // One roll: every repeat, the dice limit counted across them all.
  std::vector<Roll> RollAll() {
    rolled_ = 0;
    std::vector<Roll> rolls(static_cast<std::size_t>(expression_.Repeats()));
    for (Roll& roll : rolls) {
      terms_ = &roll.terms;
      terms_->resize(expression_.Dice().size());
      roll.total = Evaluate(expression_.RootIndex());
    }
    terms_ = nullptr;
    return rolls;
  }

  // The totals of one roll, and no dice kept.
  template <typename Sink>
  void RollTotals(Sink&& sink) {
    rolled_ = 0;
    terms_ = nullptr;
    for (std::int32_t repeat = 0; repeat < expression_.Repeats(); ++repeat) {
      sink(Evaluate(expression_.RootIndex()));
    }
  }

 private:
  std::int64_t Evaluate(std::int32_t index) {
    const Node& node = expression_.Nodes()[static_cast<std::size_t>(index)];
    switch (node.kind) {
      case Node::Kind::Number: return node.number;
      case Node::Kind::Dice: return RollTerm(node.dice);
      case Node::Kind::Negate: return -Evaluate(node.left);
      case Node::Kind::Group: return Evaluate(node.left);
      default: break;
    }
    // Left before right: the dice fall in the order they are written.
    const std::int64_t left = Evaluate(node.left);
    const std::int64_t right = Evaluate(node.right);
    // The parser has made sure no value leaves 64 bits.
    switch (node.kind) {
      case Node::Kind::Add: return left + right;
      case Node::Kind::Subtract: return left - right;
      case Node::Kind::Multiply: return left * right;
      default: return FloorDivide(left, right);
    }
  }

  std::int32_t Face(const DiceTerm& term) {
    if (++rolled_ > kMostDice) throw TooManyDice{term.column};
    return draw_(term.lowestFace, term.highestFace);
  }

  std::int64_t RollTerm(std::int32_t index) {
    const DiceTerm& term = expression_.Dice()[static_cast<std::size_t>(index)];
    const auto count = static_cast<std::size_t>(term.count);
    values_.assign(count, 0);
    std::vector<Die>* dice = nullptr;
    if (terms_ != nullptr) {
      dice = &(*terms_)[static_cast<std::size_t>(index)].dice;
      dice->assign(count, Die{});
    }
    for (std::size_t i = 0; i < count; ++i) {
      std::int32_t face = Face(term);
      if (term.rerollOnce && term.rerollOnce->Meets(face)) {
        if (dice != nullptr) (*dice)[i].rerolled = face;
        face = Face(term);
      }
      std::int64_t value = face;
      if (dice != nullptr) (*dice)[i].rolls.push_back(face);
      for (std::int32_t explosions = 0;
           term.explodes && face == term.highestFace && explosions < kMostExplosions; ++explosions) {
        face = Face(term);
        value += face;
        if (dice != nullptr) (*dice)[i].rolls.push_back(face);
      }
      values_[i] = value;
    }

    // Which dice count: the first of equal values stays.
    kept_.assign(count, true);
    if (term.keep.kind != KeepRule::Kind::All) {
      order_.resize(count);
      std::iota(order_.begin(), order_.end(), std::size_t{0});
      const bool highest = term.KeepsHighest();
      std::ranges::stable_sort(order_, [&](std::size_t a, std::size_t b) {
        return highest ? values_[a] > values_[b] : values_[a] < values_[b];
      });
      for (std::size_t rank = static_cast<std::size_t>(term.Kept()); rank < count; ++rank) {
        kept_[order_[rank]] = false;
      }
    }
    std::int64_t worth = 0;
    for (std::size_t i = 0; i < count; ++i) {
      if (!kept_[i]) {
        if (dice != nullptr) (*dice)[i].dropped = true;
        continue;
      }
      if (!term.success) {
        worth += values_[i];
      } else if (term.success->Meets(values_[i])) {
        ++worth;
        if (dice != nullptr) (*dice)[i].success = true;
      }
    }
    if (terms_ != nullptr) (*terms_)[static_cast<std::size_t>(index)].value = worth;
    return worth;
  }

  const Expression& expression_;
  Draw& draw_;
  std::int32_t rolled_ = 0;
  std::vector<TermRoll>* terms_ = nullptr;
  std::vector<std::int64_t> values_;
  std::vector<bool> kept_;
  std::vector<std::size_t> order_;
};

DiceError TooMany(std::int32_t column) {
  return {column, "More than 1,000 dice rolled, counting explosions, at column " +
                      std::to_string(column) + "."};
}

template <typename Draw>
std::variant<RollResult, DiceError> RollWith(const Expression& expression, Draw& draw) {
  Roller<Draw> roller(expression, draw);
  try {
    return RollResult{expression, roller.RollAll()};
  } catch (const TooManyDice& limit) {
    return TooMany(limit.column);
  }
}

}  // namespace

std::int64_t Die::Value() const { return std::accumulate(rolls.begin(), rolls.end(), std::int64_t{0}); }

std::variant<RollResult, DiceError> RollExpression(const Expression& expression,
                                                   RandomGenerator& generator) {
  auto draw = [&generator](std::int32_t lo, std::int32_t hi) { return generator.Between(lo, hi); };
  return RollWith(expression, draw);
}

std::variant<RollResult, DiceError> RollExpression(const Expression& expression,
                                                   const DrawFace& draw) {
  return RollWith(expression, draw);
}

std::variant<Batch, DiceError> RollMany(const Expression& expression, RandomGenerator& generator,
                                        std::int32_t times) {
  times = std::clamp(times, 1, kMostBatchRolls);
  auto draw = [&generator](std::int32_t lo, std::int32_t hi) { return generator.Between(lo, hi); };
  Roller roller(expression, draw);
  Batch batch;
  batch.totals.reserve(static_cast<std::size_t>(times) *
                       static_cast<std::size_t>(expression.Repeats()));
  const auto count = [&batch](std::int64_t total) {
    batch.totals.push_back(total);
    ++batch.counts[total];
  };
  try {
    for (std::int32_t roll = 1; roll < times; ++roll) roller.RollTotals(count);
  } catch (const TooManyDice& limit) {
    return TooMany(limit.column);
  }
  auto last = RollWith(expression, draw);
  if (auto* error = std::get_if<DiceError>(&last)) return *error;
  batch.last = std::get<RollResult>(std::move(last));
  for (const Roll& roll : batch.last->rolls) count(roll.total);
  return batch;
}

}  // namespace tambrel::dice
