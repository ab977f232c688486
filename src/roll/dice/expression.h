#pragma once

// The dice notation players type ("4d6kh3", "2d20kh1+5", "6x4d6kh3"),
// parsed into an immutable tree that the roller, the breakdown text and the
// exact odds all read. No Qt: the window holds an Expression and hands it
// to a worker thread as it is.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace tambrel::dice {

// The limits, each refused with a message and a column, never a hang.
inline constexpr std::int32_t kMostCharacters = 200;
inline constexpr std::int32_t kMostDice = 1000;        // per NdS, and rolled per roll in all
inline constexpr std::int32_t kMostSides = 32767;      // as in the main window
inline constexpr std::int32_t kMostExplosions = 100;   // per die
inline constexpr std::int32_t kMostRepeats = 100;      // the N of "Nx"
inline constexpr std::int32_t kMostNesting = 16;       // parentheses

// What went wrong and where: `column` counts characters from 1, and is one
// past the end when the expression stops short. `message` is the whole
// sentence the window shows, such as "Expected the number of sides after
// 'd' at column 3.".
struct DiceError {
  std::int32_t column = 1;
  std::string message;

  friend bool operator==(const DiceError&, const DiceError&) = default;
};

// A die's value against a number: "ro<3", ">=8", "=1".
struct Test {
  enum class Compare : std::uint8_t { Equal, Less, LessOrEqual, Greater, GreaterOrEqual };
  Compare compare = Compare::Equal;
  std::int64_t value = 0;

  [[nodiscard]] bool Meets(std::int64_t dieValue) const;
};

// Which dice count towards the term: "khN", "klN", "dhN", "dlN" ("kN" is
// "khN"). Dropping is kept in the form written, and Kept() says how many
// of the highest or lowest remain.
struct KeepRule {
  enum class Kind : std::uint8_t { All, KeepHighest, KeepLowest, DropHighest, DropLowest };
  Kind kind = Kind::All;
  std::int32_t count = 0;
};

// One "NdS" with what follows it. A die's faces are 1..S, 1..100 for "d%",
// and -1..1 for "dF".
struct DiceTerm {
  std::int32_t count = 1;
  std::int32_t lowestFace = 1;
  std::int32_t highestFace = 6;
  bool explodes = false;              // "!"
  std::optional<Test> rerollOnce;     // "ro..."
  KeepRule keep;
  std::optional<Test> success;        // ">=N" and the others: the term counts dice
  std::string text;                   // as written, lower case: "4d6kh3", "d%", "3dF"
  std::int32_t column = 1;            // of its first character

  [[nodiscard]] std::int32_t Faces() const { return highestFace - lowestFace + 1; }
  // How many dice count after keep and drop.
  [[nodiscard]] std::int32_t Kept() const;
  // Whether the term keeps the highest (true) or the lowest of its dice.
  [[nodiscard]] bool KeepsHighest() const;
};

// One node of the parsed tree. Children come before their parents in the
// expression's node list, and every node's possible values are known, so
// no roll can overflow or divide by 0.
struct Node {
  enum class Kind : std::uint8_t { Number, Dice, Negate, Add, Subtract, Multiply, Divide, Group };
  Kind kind = Kind::Number;
  std::int64_t number = 0;    // Number: its value
  std::int32_t dice = -1;     // Dice: index into Expression::Dice()
  std::int32_t left = -1;     // Negate and Group: the operand; binary: the left one
  std::int32_t right = -1;    // binary: the right operand
  std::int64_t lowest = 0;    // the smallest and largest value the node can take
  std::int64_t highest = 0;
};

// A parsed expression: immutable, cheap to copy, safe to share between
// threads.
class Expression {
 public:
  // As parsed, in lower case and without spaces: "2D6 + 3" is "2d6+3",
  // "6 x 4d6kh3" is "6x4d6kh3". Two spellings of one roll share it.
  [[nodiscard]] const std::string& Text() const { return tree_->text; }
  // What each repeat rolls: Text() without its "Nx".
  [[nodiscard]] const std::string& RolledText() const { return tree_->rolledText; }
  // How many separate totals one roll gives (the N of "Nx", else 1).
  [[nodiscard]] std::int32_t Repeats() const { return tree_->repeats; }

  [[nodiscard]] const std::vector<Node>& Nodes() const { return tree_->nodes; }
  [[nodiscard]] const Node& Root() const { return tree_->nodes.back(); }
  [[nodiscard]] std::int32_t RootIndex() const {
    return static_cast<std::int32_t>(tree_->nodes.size()) - 1;
  }
  [[nodiscard]] const std::vector<DiceTerm>& Dice() const { return tree_->dice; }

  struct Tree {
    std::string text;
    std::string rolledText;
    std::int32_t repeats = 1;
    std::vector<Node> nodes;
    std::vector<DiceTerm> dice;
  };
  explicit Expression(std::shared_ptr<const Tree> tree) : tree_(std::move(tree)) {}

 private:
  std::shared_ptr<const Tree> tree_;
};

// The expression, or what was expected where. Never throws. The messages,
// each followed by " at column N.":
//   "Expected a number, dice or '('"            (empty, "2d6+", "(")
//   "Expected the number of sides after 'd'"    ("2d", "2dx")
//   "Expected a number of sides from 1 to 32,767"        ("d0")
//   "Expected a number of dice from 1 to 1,000"          ("0d6")
//   "Expected a number of dice to keep from 0 to N"      ("4d6kh5"; "to drop")
//   "Expected the number of dice to keep or drop"        ("4d6kh")
//   "Expected a number to compare with"                  ("2d6ro", "6d10>=")
//   "Expected ')'"                                       ("(2d6")
//   "Expected an operator or the end"                    ("3d6)")
//   "Expected a number of repeats from 1 to 100"         ("0x2d6")
//   "Expected at most 200 characters"
//   "Expected at most 1,000 dice in a roll"   (every die, its reroll, every repeat)
//   "Expected at most 16 parentheses inside one another"
//   "Expected a divisor that cannot be 0"                ("d6/(d4-1)")
//   "Expected values within 64-bit whole numbers"        ("9999999999999999999")
[[nodiscard]] std::variant<Expression, DiceError> Parse(std::string_view text);

}  // namespace tambrel::dice
