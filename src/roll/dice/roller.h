#pragma once

// Rolling a parsed expression with the program's own generator, every die
// kept for the breakdown.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <variant>
#include <vector>

#include "roll/dice/expression.h"
#include "runtime/random_generator.h"

namespace tambrel::dice {

// One die as it fell. `rolls` holds the roll that stands and, after it, one
// roll per explosion: every roll but the last showed the highest face and
// exploded ("6!, 2"). The die's value is their sum.
struct Die {
  std::optional<std::int32_t> rerolled;  // the first roll, when "ro" rolled it again
  std::vector<std::int32_t> rolls;
  bool dropped = false;                  // left out by keep or drop
  bool success = false;                  // meets the term's success test ("*")

  [[nodiscard]] std::int64_t Value() const;
};

// The dice of one "NdS" term, in the order rolled, and what the term is
// worth: the sum of the dice that count, or how many succeed.
struct TermRoll {
  std::vector<Die> dice;
  std::int64_t value = 0;
};

// One total, with every dice term's dice in the order the terms stand in
// the expression (the index of Expression::Dice()).
struct Roll {
  std::int64_t total = 0;
  std::vector<TermRoll> terms;
};

// One roll of an expression: a Roll per repeat ("6x4d6kh3" gives six).
struct RollResult {
  Expression expression;
  std::vector<Roll> rolls;
};

// Draws a face: every whole number from lo to hi equally likely.
using DrawFace = std::function<std::int32_t(std::int32_t lo, std::int32_t hi)>;

// Rolls with the generator's unbiased bounded draw (RandomGenerator::Between),
// the main window's. The only refusal is the dice limit, which explosions
// can reach while the dice fall: "More than 1,000 dice rolled, counting
// explosions, at column N.".
[[nodiscard]] std::variant<RollResult, DiceError> RollExpression(const Expression& expression,
                                                                 RandomGenerator& generator);
// The same with faces from anywhere else, such as a scripted list in a test.
[[nodiscard]] std::variant<RollResult, DiceError> RollExpression(const Expression& expression,
                                                                 const DrawFace& draw);

// Many rolls at once, totals only (no dice kept), for a tally: each repeat
// of "Nx" is a total of its own. `last` is the final roll with its dice.
struct Batch {
  std::vector<std::int64_t> totals;                 // in the order rolled
  std::map<std::int64_t, std::uint64_t> counts;     // how often each total came up
  std::optional<RollResult> last;
};
inline constexpr std::int32_t kMostBatchRolls = 100000;

// `times` from 1 to kMostBatchRolls. Stops at the first roll refused.
[[nodiscard]] std::variant<Batch, DiceError> RollMany(const Expression& expression,
                                                      RandomGenerator& generator,
                                                      std::int32_t times);

}  // namespace tambrel::dice
