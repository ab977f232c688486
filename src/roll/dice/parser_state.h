#pragma once

// What the parser's actions (parser.cpp) share: the state of a parse, and
// the small readings and checks each action makes. Only for parser.cpp.

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "roll/dice/expression.h"
#include "runtime/checked.h"

namespace tambrel::dice::parsing {
// A limit broken or a value out of range, found by an action.
struct Refusal {
  std::int32_t column;
  std::string message;
};

inline constexpr const char* kTooLarge = "Expected values within 64-bit whole numbers";

// 1000 -> "1,000".
inline std::string Grouped(std::int64_t n) {
  std::string digits = std::to_string(n);
  for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
    digits.insert(static_cast<std::size_t>(at), ",");
  }
  return digits;
}

inline std::string FromTo(const char* what, std::int64_t lowest, std::int64_t highest) {
  return std::string("Expected a number of ") + what + " from " + Grouped(lowest) + " to " +
         Grouped(highest);
}

// A run of digits as a value, or none past 64 bits.
inline std::optional<std::int64_t> ReadDigits(std::string_view digits) {
  std::int64_t value = 0;
  for (const char c : digits) {
    const auto times = CheckedMul<std::int64_t>(value, 10);
    if (!times) return std::nullopt;
    const auto next = CheckedAdd<std::int64_t>(*times, c - '0');
    if (!next) return std::nullopt;
    value = *next;
  }
  return value;
}

inline std::optional<std::int64_t> FloorDivide(std::int64_t a, std::int64_t b) {
  if (b == 0 || (a == INT64_MIN && b == -1)) return std::nullopt;
  std::int64_t quotient = a / b;
  if (a % b != 0 && ((a < 0) != (b < 0))) --quotient;
  return quotient;
}

struct State {
  explicit State(std::string_view text) : start(text.data()) {}

  const char* start;
  Expression::Tree tree;
  std::vector<std::int32_t> operands;   // nodes not yet taken by a parent
  std::int32_t depth = 0;
  std::int64_t diceRolled = 0;          // per repeat, rerolls counted
  std::size_t rolledFrom = 0;           // where the part after "Nx" starts
  DiceTerm dice;                        // the dice term being read
  std::optional<std::int64_t> diceCount;
  std::int32_t diceCountColumn = 1;

  template <typename Input>
  std::int32_t Column(const Input& in) const {
    return static_cast<std::int32_t>(in.begin() - start) + 1;
  }

  std::int32_t Push(const Node& node) {
    tree.nodes.push_back(node);
    const auto index = static_cast<std::int32_t>(tree.nodes.size()) - 1;
    operands.push_back(index);
    return index;
  }
  std::int32_t Pop() {
    const std::int32_t index = operands.back();
    operands.pop_back();
    return index;
  }
};

// "-3" or "12" as a value; the grammar allows nothing else.
template <typename Input>
std::int64_t ReadTest(const Input& in, const State& state) {
  std::string_view text(in.begin(), in.size());
  const bool negative = text.front() == '-';
  if (negative) text.remove_prefix(1);
  const auto value = ReadDigits(text);
  if (!value) throw Refusal{state.Column(in), kTooLarge};
  return negative ? -*value : *value;
}

inline Test::Compare ReadCompare(std::string_view text) {
  if (text == ">=") return Test::Compare::GreaterOrEqual;
  if (text == "<=") return Test::Compare::LessOrEqual;
  if (text == ">") return Test::Compare::Greater;
  if (text == "<") return Test::Compare::Less;
  return Test::Compare::Equal;
}

// Lower case without blanks, "F" for a Fudge die: the form two spellings
// of one roll share. Only ever called on text that parsed.
inline std::string Canonical(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ' || c == '\t') continue;
    const bool fudge = (c == 'f' || c == 'F') && i > 0 && (text[i - 1] == 'd' || text[i - 1] == 'D');
    out += fudge ? 'F' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

// The values a lone die can show, explosions added.
inline std::pair<std::int64_t, std::int64_t> DieRange(const DiceTerm& term) {
  if (!term.explodes) return {term.lowestFace, term.highestFace};
  const std::int64_t most = std::int64_t{term.highestFace} * (kMostExplosions + 1);
  // A die of one face always shows its highest, so always explodes in full.
  return {term.Faces() == 1 ? most : term.lowestFace, most};
}

inline void Refuse(bool refused, std::int32_t column, const std::string& message) {
  if (refused) throw Refusal{column, message};
}


}  // namespace tambrel::dice::parsing
