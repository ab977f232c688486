// The parser's actions on the grammar (grammar.h): each builds the tree as
// its rule matches, works out what values the new node can take, and
// refuses, at the column where it stands, whatever breaks a limit.

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>
#include <string>
#include <utility>

#include "roll/dice/expression.h"
#include "roll/dice/grammar.h"
#include "roll/dice/parser_state.h"
#include "runtime/checked.h"

namespace tambrel::dice {
namespace {

namespace pegtl = tao::pegtl;

using namespace parsing;

template <typename Rule>
struct Action : pegtl::nothing<Rule> {};

template <>
struct Action<grammar::number> {
  template <typename Input>
  static void apply(const Input& in, State& state) {
    const auto value = ReadDigits({in.begin(), in.size()});
    Refuse(!value, state.Column(in), kTooLarge);
    state.Push({Node::Kind::Number, *value, -1, -1, -1, *value, *value});
  }
};

template <>
struct Action<grammar::dice_start> {
  template <typename Input>
  static void apply(const Input& in, State& state) {
    state.dice = DiceTerm{};
    state.dice.column = state.Column(in);
    state.diceCount.reset();
    state.diceCountColumn = state.dice.column;
  }
};

template <>
struct Action<grammar::dice_count> {
  template <typename Input>
  static void apply(const Input& in, State& state) {
    // Checked once the 'd' shows this is dice, not a number.
    const auto count = ReadDigits({in.begin(), in.size()});
    state.diceCount = count.value_or(INT64_MAX);
  }
};

template <>
struct Action<grammar::dice_letter> {
  template <typename Input>
  static void apply(const Input&, State& state) {
    const std::int64_t count = state.diceCount.value_or(1);
    Refuse(count < 1 || count > kMostDice, state.diceCountColumn, FromTo("dice", 1, kMostDice));
    state.dice.count = static_cast<std::int32_t>(count);
  }
};

template <>
struct Action<grammar::sides_number> {
  template <typename Input>
  static void apply(const Input& in, State& state) {
    const std::int64_t sides = ReadDigits({in.begin(), in.size()}).value_or(INT64_MAX);
    Refuse(sides < 1 || sides > kMostSides, state.Column(in), FromTo("sides", 1, kMostSides));
    state.dice.lowestFace = 1;
    state.dice.highestFace = static_cast<std::int32_t>(sides);
  }
};

template <>
struct Action<grammar::sides_percent> {
  static void apply0(State& state) { state.dice.lowestFace = 1, state.dice.highestFace = 100; }
};

template <>
struct Action<grammar::sides_fudge> {
  static void apply0(State& state) { state.dice.lowestFace = -1, state.dice.highestFace = 1; }
};

template <>
struct Action<grammar::explode> {
  static void apply0(State& state) { state.dice.explodes = true; }
};

template <>
struct Action<grammar::reroll_compare> {
  template <typename Input>
  static void apply(const Input& in, State& state) {
    state.dice.rerollOnce = Test{ReadCompare({in.begin(), in.size()}), 0};
  }
};

template <>
struct Action<grammar::reroll_test> {
  template <typename Input>
  static void apply(const Input& in, State& state) {
    if (!state.dice.rerollOnce) state.dice.rerollOnce = Test{};
    state.dice.rerollOnce->value = ReadTest(in, state);
  }
};

template <>
struct Action<grammar::keep_kind> {
  template <typename Input>
  static void apply(const Input& in, State& state) {
    const std::string_view text(in.begin(), in.size());
    const auto is = [&](char first, char second) {
      return text.size() == 2 && std::tolower(static_cast<unsigned char>(text[0])) == first &&
             std::tolower(static_cast<unsigned char>(text[1])) == second;
    };
    using Kind = KeepRule::Kind;
    state.dice.keep.kind = is('k', 'l')   ? Kind::KeepLowest
                           : is('d', 'h') ? Kind::DropHighest
                           : is('d', 'l') ? Kind::DropLowest
                                          : Kind::KeepHighest;
  }
};

template <>
struct Action<grammar::keep_count> {
  template <typename Input>
  static void apply(const Input& in, State& state) {
    const std::int64_t count = ReadDigits({in.begin(), in.size()}).value_or(INT64_MAX);
    const bool keeps = state.dice.keep.kind == KeepRule::Kind::KeepHighest ||
                       state.dice.keep.kind == KeepRule::Kind::KeepLowest;
    Refuse(count > state.dice.count, state.Column(in),
           FromTo(keeps ? "dice to keep" : "dice to drop", 0, state.dice.count));
    state.dice.keep.count = static_cast<std::int32_t>(count);
  }
};

template <>
struct Action<grammar::success_compare> {
  template <typename Input>
  static void apply(const Input& in, State& state) {
    state.dice.success = Test{ReadCompare({in.begin(), in.size()}), 0};
  }
};

template <>
struct Action<grammar::success_test> {
  template <typename Input>
  static void apply(const Input& in, State& state) {
    state.dice.success->value = ReadTest(in, state);
  }
};

template <>
struct Action<grammar::dice> {
  template <typename Input>
  static void apply(const Input& in, State& state) {
    DiceTerm& term = state.dice;
    term.text = Canonical({in.begin(), in.size()});
    // Every die and its possible reroll, in every repeat, before a die is
    // rolled; explosions are counted as they fall.
    state.diceRolled += std::int64_t{term.count} * (term.rerollOnce ? 2 : 1);
    Refuse(state.diceRolled * state.tree.repeats > kMostDice, term.column,
           "Expected at most 1,000 dice in a roll");
    const auto [lowest, highest] = DieRange(term);
    const std::int64_t kept = term.Kept();
    Node node{Node::Kind::Dice, 0, static_cast<std::int32_t>(state.tree.dice.size()), -1, -1,
              kept * lowest, kept * highest};
    if (term.success) node.lowest = 0, node.highest = kept;
    state.tree.dice.push_back(std::move(term));
    state.Push(node);
  }
};

template <>
struct Action<grammar::open> {
  template <typename Input>
  static void apply(const Input& in, State& state) {
    Refuse(++state.depth > kMostNesting, state.Column(in),
           "Expected at most 16 parentheses inside one another");
  }
};

template <>
struct Action<grammar::group> {
  static void apply0(State& state) {
    --state.depth;
    const std::int32_t inner = state.Pop();
    const Node& node = state.tree.nodes[static_cast<std::size_t>(inner)];
    state.Push({Node::Kind::Group, 0, -1, inner, -1, node.lowest, node.highest});
  }
};

template <>
struct Action<grammar::unary> {
  template <typename Input>
  static void apply(const Input& in, State& state) {
    // The signs before the operand, innermost (rightmost) first.
    std::vector<std::int32_t> signs;
    for (const char* at = in.begin(); at != in.end() && (*at == '-' || *at == ' ' || *at == '\t'); ++at) {
      if (*at == '-') signs.push_back(static_cast<std::int32_t>(at - state.start) + 1);
    }
    std::ranges::reverse(signs);
    for (const std::int32_t column : signs) {
      const std::int32_t inner = state.Pop();
      const Node& node = state.tree.nodes[static_cast<std::size_t>(inner)];
      const auto lowest = CheckedSub<std::int64_t>(0, node.highest);
      const auto highest = CheckedSub<std::int64_t>(0, node.lowest);
      Refuse(!lowest || !highest, column, kTooLarge);
      state.Push({Node::Kind::Negate, 0, -1, inner, -1, *lowest, *highest});
    }
  }
};

// A binary operator's node, from the text of "blanks op blanks operand".
template <typename Input>
void PushBinary(const Input& in, State& state) {
  const char* op = in.begin();
  while (*op == ' ' || *op == '\t') ++op;
  const char* operand = op + 1;
  while (*operand == ' ' || *operand == '\t') ++operand;
  const std::int32_t column = static_cast<std::int32_t>(op - state.start) + 1;
  const std::int32_t right = state.Pop();
  const std::int32_t left = state.Pop();
  const Node& a = state.tree.nodes[static_cast<std::size_t>(left)];
  const Node& b = state.tree.nodes[static_cast<std::size_t>(right)];
  Node node{Node::Kind::Add, 0, -1, left, right, 0, 0};
  std::array<std::optional<std::int64_t>, 4> corners;
  switch (*op) {
    case '+':
      corners = {CheckedAdd(a.lowest, b.lowest), CheckedAdd(a.highest, b.highest)};
      corners[2] = corners[0], corners[3] = corners[1];
      break;
    case '-':
      node.kind = Node::Kind::Subtract;
      corners = {CheckedSub(a.lowest, b.highest), CheckedSub(a.highest, b.lowest)};
      corners[2] = corners[0], corners[3] = corners[1];
      break;
    case '*':
      node.kind = Node::Kind::Multiply;
      corners = {CheckedMul(a.lowest, b.lowest), CheckedMul(a.lowest, b.highest),
                 CheckedMul(a.highest, b.lowest), CheckedMul(a.highest, b.highest)};
      break;
    default:
      node.kind = Node::Kind::Divide;
      Refuse(b.lowest <= 0 && b.highest >= 0, static_cast<std::int32_t>(operand - state.start) + 1,
             "Expected a divisor that cannot be 0");
      corners = {FloorDivide(a.lowest, b.lowest), FloorDivide(a.lowest, b.highest),
                 FloorDivide(a.highest, b.lowest), FloorDivide(a.highest, b.highest)};
  }
  Refuse(std::ranges::any_of(corners, [](const auto& c) { return !c; }), column, kTooLarge);
  node.lowest = node.highest = *corners[0];
  for (const auto& corner : corners) {
    node.lowest = std::min(node.lowest, *corner);
    node.highest = std::max(node.highest, *corner);
  }
  state.Push(node);
}

template <>
struct Action<grammar::product_tail> {
  template <typename Input>
  static void apply(const Input& in, State& state) { PushBinary(in, state); }
};

template <>
struct Action<grammar::sum_tail> {
  template <typename Input>
  static void apply(const Input& in, State& state) { PushBinary(in, state); }
};

template <>
struct Action<grammar::repeat> {
  template <typename Input>
  static void apply(const Input& in, State& state) {
    std::size_t digits = 0;
    while (std::isdigit(static_cast<unsigned char>(in.begin()[digits]))) ++digits;
    const std::int64_t times = ReadDigits({in.begin(), digits}).value_or(INT64_MAX);
    Refuse(times < 1 || times > kMostRepeats, state.Column(in), FromTo("repeats", 1, kMostRepeats));
    state.tree.repeats = static_cast<std::int32_t>(times);
    state.rolledFrom = static_cast<std::size_t>(in.end() - state.start);
  }
};

// Characters, not bytes: a UTF-8 continuation byte starts none.
std::int32_t CharactersIn(std::string_view text) {
  return static_cast<std::int32_t>(std::ranges::count_if(
      text, [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

DiceError Error(std::int32_t column, std::string_view message) {
  return {column, std::string(message) + " at column " + std::to_string(column) + "."};
}

}  // namespace

std::variant<Expression, DiceError> Parse(std::string_view text) {
  if (CharactersIn(text) > kMostCharacters) {
    return Error(kMostCharacters + 1, "Expected at most 200 characters");
  }
  State state(text);
  try {
    pegtl::memory_input input(text.data(), text.size(), "");
    pegtl::parse<grammar::roll, Action, pegtl::must_if<grammar::Messages>::control>(input, state);
  } catch (const pegtl::parse_error& error) {
    // Everything before a failing position is ASCII, so bytes are columns.
    return Error(static_cast<std::int32_t>(error.positions().front().byte) + 1, error.message());
  } catch (const Refusal& refusal) {
    return Error(refusal.column, refusal.message);
  }
  state.tree.text = Canonical(text);
  state.tree.rolledText = Canonical(text.substr(state.rolledFrom));
  return Expression(std::make_shared<const Expression::Tree>(std::move(state.tree)));
}

}  // namespace tambrel::dice
