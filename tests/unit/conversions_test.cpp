#include "runtime/conversions.h"

#include <gtest/gtest.h>

#include <ostream>

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "runtime/checked.h"
#include "support/case_names.h"

namespace tambrel {
namespace {

struct TextCase {
  const char* text;
  std::optional<std::int16_t> expected;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class TextToInt16Test : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextToInt16Test, ConvertsWellFormedDecimalsAndRefusesTheRest) {
  EXPECT_EQ(TextToInt16(GetParam().text), GetParam().expected) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextToInt16Test,
    ::testing::Values(
        // In range, including both ends and signs.
        TextCase{"0", 0}, TextCase{"6", 6}, TextCase{"100", 100}, TextCase{"32767", 32767},
        TextCase{"-32768", -32768}, TextCase{"-4", -4}, TextCase{"+12", 12},
        TextCase{"007", 7}, TextCase{"-0", 0},
        // One past either end, and far outside without overflowing the parser.
        TextCase{"32768", std::nullopt}, TextCase{"-32769", std::nullopt},
        TextCase{"99999", std::nullopt}, TextCase{"123456789012345678901234567890", std::nullopt},
        TextCase{"000000000000000000000000032767", 32767},
        // Not a whole number at all.
        TextCase{"", std::nullopt}, TextCase{" ", std::nullopt}, TextCase{"1a", std::nullopt},
        TextCase{"1.5", std::nullopt}, TextCase{"1e3", std::nullopt}, TextCase{"-", std::nullopt},
        TextCase{"+", std::nullopt}, TextCase{" 5", std::nullopt}, TextCase{"5 ", std::nullopt},
        TextCase{"--5", std::nullopt}, TextCase{"0x10", std::nullopt},
        TextCase{"\xd9\xa3", std::nullopt}),  // ARABIC-INDIC DIGIT THREE is not an ASCII digit
    [](const auto& param_info) { return testing::TextName(param_info.param.text); });

// The shortest text that reads back as the same double: "2147483647.4".
std::string Shortest(double value) {
  std::array<char, 32> text{};
  const auto end = std::to_chars(text.data(), text.data() + text.size(), value).ptr;
  return std::string(text.data(), end);
}

struct RoundCase {
  double value;
  std::optional<std::int32_t> expected;
};

void PrintTo(const RoundCase& c, std::ostream* os) { *os << c.value; }

class RoundToInt32Test : public ::testing::TestWithParam<RoundCase> {};

TEST_P(RoundToInt32Test, RoundsHalfToEven) {
  EXPECT_EQ(RoundToInt32(GetParam().value), GetParam().expected) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RoundToInt32Test,
    ::testing::Values(RoundCase{0.5, 0}, RoundCase{1.5, 2}, RoundCase{2.5, 2}, RoundCase{3.5, 4},
                      RoundCase{-2.5, -2}, RoundCase{-0.5, 0}, RoundCase{2.4999, 2},
                      RoundCase{2.5001, 3}, RoundCase{5.0 / 3.0, 2},
                      RoundCase{2147483647.4, 2147483647}, RoundCase{2147483647.5, std::nullopt},
                      RoundCase{-2147483648.5, -2147483648}, RoundCase{-2147483649.0, std::nullopt},
                      RoundCase{std::numeric_limits<double>::infinity(), std::nullopt},
                      RoundCase{std::nan(""), std::nullopt}),
    [](const auto& param_info) { return testing::TextName(Shortest(param_info.param.value)); });

TEST(RoundToInt16, RefusesValuesOutside16Bits) {
  EXPECT_EQ(RoundToInt16(32767.49), 32767);
  EXPECT_EQ(RoundToInt16(32767.5), std::nullopt);  // ties to even: 32768
  EXPECT_EQ(RoundToInt16(-32768.5), -32768);        // ties to even: -32768
  EXPECT_EQ(RoundToInt16(-32769.0), std::nullopt);
  EXPECT_EQ(RoundToInt16(6.5), 6);
}

struct DoubleCase {
  const char* text;
  double expected;
};

void PrintTo(const DoubleCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class TextToDoubleTest : public ::testing::TestWithParam<DoubleCase> {};

TEST_P(TextToDoubleTest, ReadsTheLeadingNumber) {
  EXPECT_EQ(TextToDouble(GetParam().text), GetParam().expected) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextToDoubleTest,
    ::testing::Values(DoubleCase{"", 0}, DoubleCase{" ", 0}, DoubleCase{"abc", 0},
                      DoubleCase{"6", 6}, DoubleCase{"-32768", -32768}, DoubleCase{"  12", 12},
                      DoubleCase{"+7", 7}, DoubleCase{"12abc", 12}, DoubleCase{"1.5", 1.5},
                      DoubleCase{".5", 0.5}, DoubleCase{"1e3", 1000}, DoubleCase{"1e", 1},
                      DoubleCase{"2E-1x", 0.2}, DoubleCase{"-", 0}, DoubleCase{".", 0},
                      DoubleCase{"1e999", std::numeric_limits<double>::infinity()},
                      DoubleCase{"-1e999", -std::numeric_limits<double>::infinity()},
                      DoubleCase{"1e-999", 0}),
    [](const auto& param_info) { return testing::TextName(param_info.param.text); });

// Whether a value is too large or too small goes by where its first
// significant digit stands, not by the sign of its exponent.
TEST(TextToDouble, OutOfRangeGoesByMagnitudeNotByTheExponentSign) {
  const std::string zeros(400, '0');
  const double infinity = std::numeric_limits<double>::infinity();
  EXPECT_EQ(TextToDouble("0." + zeros + "1"), 0.0);
  EXPECT_TRUE(std::signbit(TextToDouble("-0." + zeros + "1")));
  EXPECT_EQ(TextToDouble("-0." + zeros + "1"), 0.0);
  EXPECT_EQ(TextToDouble("1" + zeros + "e-1"), infinity);
  EXPECT_EQ(TextToDouble("-1" + zeros + "e-1"), -infinity);
  EXPECT_EQ(TextToDouble("0.1e-400"), 0.0);
  EXPECT_EQ(TextToDouble("0.0001e99999999999999999999"), infinity);
  EXPECT_EQ(TextToDouble("0." + zeros + "1e500"), 1e99) << "in range once the exponent is taken in";
}

TEST(IntToText, WritesDecimalWithMinusAndNoBlank) {
  EXPECT_EQ(IntToText(0), "0");
  EXPECT_EQ(IntToText(6), "6");
  EXPECT_EQ(IntToText(-32768), "-32768");
  EXPECT_EQ(IntToText(2147483647), "2147483647");
}

TEST(CheckedArithmetic, ReportsOverflowInsteadOfWrapping) {
  EXPECT_EQ(CheckedAdd<std::int16_t>(32766, 1), 32767);
  EXPECT_EQ(CheckedAdd<std::int16_t>(32767, 1), std::nullopt);
  EXPECT_EQ(CheckedSub<std::int16_t>(-32768, 1), std::nullopt);
  EXPECT_EQ(CheckedSub<std::int16_t>(-32767, 1), -32768);
  EXPECT_EQ(CheckedMul<std::int16_t>(66, 500), std::nullopt);
  EXPECT_EQ(CheckedMul<std::int16_t>(65, 500), 32500);
  EXPECT_EQ(CheckedAdd<std::int32_t>(2147483647, 1), std::nullopt);
}

}  // namespace
}  // namespace tambrel
