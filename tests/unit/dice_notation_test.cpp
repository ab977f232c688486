// The dice notation: what parses and how it reads back, and what is refused
// with which message at which column, every limit among them.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <variant>

#include "roll/dice/roller.h"
#include "support/case_names.h"

namespace tambrel::dice {
namespace {

struct NotationCase {
  std::string text;
  std::string parsed;       // empty when refused
  std::int32_t column = 0;  // where refused
  std::string expected;     // the message before " at column N."
};

// Failures name the expression, not the bytes of the case.
void PrintTo(const NotationCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }

NotationCase Valid(std::string text, std::string parsed) { return {std::move(text), std::move(parsed), 0, ""}; }
NotationCase Refused(std::string text, std::int32_t column, std::string expected) {
  return {std::move(text), "", column, std::move(expected)};
}

std::string Nested(std::size_t depth) { return std::string(depth, '(') + "1" + std::string(depth, ')'); }
// "1+1+...+1" of exactly n characters (n odd).
std::string Ones(int n) {
  std::string text = "1";
  while (static_cast<int>(text.size()) < n) text += "+1";
  return text;
}

std::string Times(const std::string& text, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += text;
  return out;
}

class NotationTest : public ::testing::TestWithParam<NotationCase> {};

TEST_P(NotationTest, ParsesToItsFormOrIsRefusedAtItsColumn) {
  const NotationCase& c = GetParam();
  const auto parsed = Parse(c.text);
  if (!c.parsed.empty()) {
    ASSERT_TRUE(std::holds_alternative<Expression>(parsed)) << std::get<DiceError>(parsed).message;
    EXPECT_EQ(std::get<Expression>(parsed).Text(), c.parsed);
    // The form read back parses to itself.
    EXPECT_EQ(std::get<Expression>(Parse(c.parsed)).Text(), c.parsed);
    return;
  }
  ASSERT_TRUE(std::holds_alternative<DiceError>(parsed)) << std::get<Expression>(parsed).Text();
  const DiceError& error = std::get<DiceError>(parsed);
  EXPECT_EQ(error.column, c.column);
  EXPECT_EQ(error.message, c.expected + " at column " + std::to_string(c.column) + ".");
}

const char* const kOperand = "Expected a number, dice or '('";
const char* const kEnd = "Expected an operator or the end";
const char* const kTooLarge = "Expected values within 64-bit whole numbers";

INSTANTIATE_TEST_SUITE_P(
    Expressions, NotationTest,
    ::testing::Values(
        Valid("4d6kh3", "4d6kh3"), Valid("2D6 + 3", "2d6+3"), Valid(" 6 x 4d6KH3 ", "6x4d6kh3"),
        Valid("d%", "d%"), Valid("4df", "4dF"), Valid("-d4+(2d4*3)", "-d4+(2d4*3)"),
        Valid("2d20k1", "2d20k1"), Valid("2d6Ro<3", "2d6ro<3"), Valid("8d6ro1", "8d6ro1"),
        Valid("10d6!ro>=5dl2<=-1", "10d6!ro>=5dl2<=-1"), Valid("6d10>=8", "6d10>=8"),
        Valid("\t3 *\t-2", "3*-2"), Valid("- -d6 / 2", "--d6/2"), Valid("1000d6", "1000d6"),
        Valid("d32767", "d32767"), Valid("100x10d1", "100x10d1"), Valid("500d6ro1", "500d6ro1"),
        Valid("4d6kh0", "4d6kh0"), Valid("4d6dl4", "4d6dl4"), Valid("3d6!", "3d6!"),
        Valid(Nested(16), Nested(16)), Valid(Ones(199), Ones(199)),
        Valid("9223372036854775807", "9223372036854775807"), Valid("d6/-2", "d6/-2"),
        Refused("2d", 3, "Expected the number of sides after 'd'"),
        Refused("2dx", 3, "Expected the number of sides after 'd'"),
        Refused("d0", 2, "Expected a number of sides from 1 to 32,767"),
        Refused("d32768", 2, "Expected a number of sides from 1 to 32,767"),
        Refused("3d6)", 4, kEnd), Refused("2d6+", 5, kOperand), Refused("2d6 + ", 7, kOperand),
        Refused("", 1, kOperand), Refused("  ", 3, kOperand), Refused("2+-", 4, kOperand),
        Refused("0d6", 1, "Expected a number of dice from 1 to 1,000"),
        Refused("1001d6", 1, "Expected a number of dice from 1 to 1,000"),
        Refused("2+99999999999999999999d6", 3, "Expected a number of dice from 1 to 1,000"),
        Refused("4d6kh5", 6, "Expected a number of dice to keep from 0 to 4"),
        Refused("4d6dl5", 6, "Expected a number of dice to drop from 0 to 4"),
        Refused("4d6kh", 6, "Expected the number of dice to keep or drop"),
        Refused("2d6ro", 6, "Expected a number to compare with"),
        Refused("2d6ro<", 7, "Expected a number to compare with"),
        Refused("6d10>=", 7, "Expected a number to compare with"),
        Refused("(2d6", 5, "Expected ')'"), Refused("4d6kh3!", 7, kEnd), Refused("2 d6", 3, kEnd),
        Refused("2d6 3", 5, kEnd), Refused("2d6>=8+1>=2", 9, kEnd), Refused("2x3x4", 4, kEnd),
        Refused("\xC3\xA9", 1, kOperand), Refused("2d6\n", 4, kEnd),
        Refused("0x2d6", 1, "Expected a number of repeats from 1 to 100"),
        Refused("101x2", 1, "Expected a number of repeats from 1 to 100"),
        Refused("2x501d6", 3, "Expected at most 1,000 dice in a roll"),
        Refused("501d6ro1", 1, "Expected at most 1,000 dice in a roll"),
        Refused("999d6+2d6", 7, "Expected at most 1,000 dice in a roll"),
        Refused(Nested(17), 17, "Expected at most 16 parentheses inside one another"),
        Refused(Ones(201), 201, "Expected at most 200 characters"),
        // Letters of two bytes each count once.
        Refused(Times("\xC3\xA9", 200), 1, kOperand),
        Refused(Times("\xC3\xA9", 201), 201, "Expected at most 200 characters"),
        Refused("d6/(d4-1)", 4, "Expected a divisor that cannot be 0"),
        Refused("1/0", 3, "Expected a divisor that cannot be 0"),
        Refused("d6 / dF", 6, "Expected a divisor that cannot be 0"),
        Refused("9223372036854775808", 1, kTooLarge),
        Refused("9223372036854775807+1", 20, kTooLarge),
        Refused("-9223372036854775807-2", 21, kTooLarge),
        Refused("3037000500*3037000500", 11, kTooLarge),
        Refused("d6>=99999999999999999999", 5, kTooLarge)),
    [](const auto& param) {
      return std::to_string(param.index) + "_" + testing::TextName(param.param.text.substr(0, 24));
    });

TEST(DiceLimitTest, ExplosionsPastAThousandDiceRefuseTheRollNotTheExpression) {
  // A one-sided die always explodes in full: 101 dice each, so ten pass 1,000.
  RandomGenerator generator(1);
  const auto ten = RollExpression(std::get<Expression>(Parse("10d1!")), generator);
  ASSERT_TRUE(std::holds_alternative<DiceError>(ten));
  EXPECT_EQ(std::get<DiceError>(ten).message,
            "More than 1,000 dice rolled, counting explosions, at column 1.");
  const auto nine = RollExpression(std::get<Expression>(Parse("9d1!")), generator);
  ASSERT_TRUE(std::holds_alternative<RollResult>(nine));
  EXPECT_EQ(std::get<RollResult>(nine).rolls[0].total, 909);
}

}  // namespace
}  // namespace tambrel::dice
