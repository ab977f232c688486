// Each expression three ways: its exact odds against every way its dice
// can fall, one scripted roll against its copied text, and 100,000 seeded
// rolls against its odds by Pearson's test.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <stop_token>
#include <map>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "roll/dice/breakdown.h"
#include "roll/dice/fit.h"
#include "roll/dice/odds.h"
#include "support/case_names.h"

namespace tambrel::dice {
namespace {

struct ExpressionCase {
  std::string text;
  std::vector<std::int32_t> faces;  // what the dice show, in the order rolled
  std::string copied;
};

// Failures name the expression, not the bytes of the case.
void PrintTo(const ExpressionCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }

Expression Parsed(const std::string& text) {
  auto parsed = Parse(text);
  if (auto* error = std::get_if<DiceError>(&parsed)) ADD_FAILURE() << error->message;
  return std::get<Expression>(std::move(parsed));
}

// Every sequence of draws the roller can make, found by turning an
// odometer of draws: the chance of each total, summed over the sequences
// that give it. A sequence less likely than kNegligible (a long run of
// explosions) is left out, and its chance said.
constexpr double kNegligible = 1e-15;
struct Enumerated {
  std::map<std::int64_t, double> chances;
  double leftOut = 0;
};
Enumerated Enumerate(const Expression& expression) {
  struct Negligible {};
  struct Wheel {
    std::int32_t shown;
    std::int32_t faces;
  };
  std::vector<Wheel> wheels;
  Enumerated all;
  do {
    std::size_t at = 0;
    double chance = 1;
    const DrawFace draw = [&](std::int32_t lo, std::int32_t hi) {
      if (at == wheels.size()) wheels.push_back({0, hi - lo + 1});
      chance /= wheels[at].faces;
      if (chance < kNegligible) throw Negligible{};
      return lo + wheels[at++].shown;
    };
    try {
      const RollResult result = std::get<RollResult>(RollExpression(expression, draw));
      for (const Roll& roll : result.rolls) all.chances[roll.total] += chance / expression.Repeats();
    } catch (const Negligible&) {
      all.leftOut += chance;
      ++at;
    }
    wheels.resize(at);
    while (!wheels.empty() && ++wheels.back().shown == wheels.back().faces) wheels.pop_back();
  } while (!wheels.empty());
  return all;
}

class ExpressionTest : public ::testing::TestWithParam<ExpressionCase> {};

TEST_P(ExpressionTest, OddsMatchEveryOutcome) {
  const Expression expression = Parsed(GetParam().text);
  const std::optional<Odds> odds = ExactOdds(expression);
  ASSERT_TRUE(odds);
  const Enumerated enumerated = Enumerate(expression);
  double sum = 0;
  for (const Chance& row : odds->totals) {
    sum += row.chance;
    const auto found = enumerated.chances.find(row.total);
    const double expected = found == enumerated.chances.end() ? 0.0 : found->second;
    EXPECT_NEAR(row.chance, expected, 1e-9 + enumerated.leftOut) << "total " << row.total;
  }
  for (const auto& [total, chance] : enumerated.chances) {
    EXPECT_TRUE(odds->Find(total) != nullptr || chance < 1e-12) << "total " << total << " missing";
  }
  EXPECT_NEAR(sum, 1.0, 1e-9);
  double mean = 0;
  double square = 0;
  for (const auto& [total, chance] : enumerated.chances) {
    mean += static_cast<double>(total) * chance;
    square += static_cast<double>(total) * static_cast<double>(total) * chance;
  }
  EXPECT_NEAR(odds->mean, mean, 1e-6 * (1 + std::fabs(mean)));
  EXPECT_NEAR(odds->standardDeviation, std::sqrt(square - mean * mean), 1e-6 * (1 + std::fabs(mean)));
  EXPECT_NEAR(odds->totals.back().atLeast, odds->totals.back().chance, 1e-15);
  EXPECT_NEAR(odds->totals.front().atLeast, sum, 1e-12);
  EXPECT_EQ(odds->lowest, odds->totals.front().total);
}

TEST_P(ExpressionTest, AScriptedRollCopiesAsItFell) {
  const Expression expression = Parsed(GetParam().text);
  const std::vector<std::int32_t>& faces = GetParam().faces;
  std::size_t next = 0;
  const DrawFace scripted = [&](std::int32_t lo, std::int32_t hi) {
    if (next == faces.size()) throw std::out_of_range("the script ran out");
    const std::int32_t face = faces[next++];
    EXPECT_TRUE(face >= lo && face <= hi) << face << " is not a face of " << lo << ".." << hi;
    return face;
  };
  const auto rolled = RollExpression(expression, scripted);
  ASSERT_TRUE(std::holds_alternative<RollResult>(rolled));
  EXPECT_EQ(next, faces.size());
  EXPECT_EQ(CopyText(std::get<RollResult>(rolled)), GetParam().copied);
}

TEST_P(ExpressionTest, SeededRollsFitTheOdds) {
  const Expression expression = Parsed(GetParam().text);
  RandomGenerator generator(20261207);
  const auto batch = RollMany(expression, generator, 100000);
  ASSERT_TRUE(std::holds_alternative<Batch>(batch));
  const Fit fit = TestAgainstOdds(*ExactOdds(expression), std::get<Batch>(batch).counts);
  EXPECT_NE(fit.verdict, Verdict::UnusualForFair);
  EXPECT_GE(fit.test.pValue, 1e-4) << "chi-square " << fit.test.statistic << ", "
                                   << fit.test.degreesOfFreedom << " degrees of freedom";
}

INSTANTIATE_TEST_SUITE_P(
    Table, ExpressionTest,
    ::testing::Values(
        ExpressionCase{"d6", {4}, "d6: [4] = 4"},
        ExpressionCase{"2d6+3", {2, 5}, "2d6+3: [2, 5] + 3 = 10"},
        ExpressionCase{"4d6kh3", {6, 5, 3, 2}, "4d6kh3: [6, 5, 3, (2)] = 14"},
        ExpressionCase{"2d20kh1", {7, 15}, "2d20kh1: [(7), 15] = 15"},
        ExpressionCase{"2d20kl1", {7, 15}, "2d20kl1: [7, (15)] = 7"},
        ExpressionCase{"3d6!", {6, 2, 4, 1}, "3d6!: [6!, 2, 4, 1] = 13"},
        ExpressionCase{"6d10>=8", {9, 3, 10, 8, 1, 5}, "6d10>=8: [9*, 3, 10*, 8*, 1, 5] = 3"},
        ExpressionCase{"-d4+(2d4*3)", {3, 2, 4}, "-d4+(2d4*3): -[3] + ([2, 4] * 3) = 15"},
        ExpressionCase{"2d6ro<3", {1, 4, 6}, "2d6ro<3: [(1) 4, 6] = 10"},
        ExpressionCase{"4dF", {-1, 0, 1, 1}, "4dF: [-1, 0, 1, 1] = 1"},
        ExpressionCase{"d%", {100}, "d%: [100] = 100"},
        ExpressionCase{"3d6dl1", {2, 2, 5}, "3d6dl1: [2, (2), 5] = 7"},
        ExpressionCase{"4d6dh1", {6, 1, 6, 3}, "4d6dh1: [6, 1, (6), 3] = 10"},
        ExpressionCase{"d6*d6", {3, 4}, "d6*d6: [3] * [4] = 12"},
        ExpressionCase{"d20/d4", {15, 4}, "d20/d4: [15] / [4] = 3"},
        ExpressionCase{"(d6-4)*d4", {1, 3}, "(d6-4)*d4: ([1] - 4) * [3] = -9"},
        ExpressionCase{"-d6/2", {3}, "-d6/2: -[3] / 2 = -2"},
        ExpressionCase{"d12/(d4+1)", {7, 2}, "d12/(d4+1): [7] / ([2] + 1) = 2"},
        ExpressionCase{"3d4kh2>=3", {4, 1, 3}, "3d4kh2>=3: [4*, (1), 3*] = 2"},
        ExpressionCase{"4d4kl2<2", {1, 2, 1, 4}, "4d4kl2<2: [1*, (2), 1*, (4)] = 2"},
        ExpressionCase{"d6!ro1", {1, 6, 6, 2}, "d6!ro1: [(1) 6!, 6!, 2] = 14"},
        ExpressionCase{"2d4!kh1", {4, 1, 3}, "2d4!kh1: [4!, 1, (3)] = 5"},
        ExpressionCase{"2dF!", {1, 0, -1}, "2dF!: [1!, 0, -1] = 0"},
        ExpressionCase{"3x2d4", {1, 2, 3, 4, 4, 4}, "2d4: [1, 2] = 3\n2d4: [3, 4] = 7\n2d4: [4, 4] = 8"},
        ExpressionCase{"d2!", {2, 2, 1}, "d2!: [2!, 2!, 1] = 5"},
        ExpressionCase{"2d3=2", {2, 3}, "2d3=2: [2*, 3] = 1"},
        ExpressionCase{"d10ro>=9", {10, 9}, "d10ro>=9: [(10) 9] = 9"},
        ExpressionCase{"d4-d4-d4", {4, 1, 2}, "d4-d4-d4: [4] - [1] - [2] = 1"},
        ExpressionCase{"2*(d3+1)-d2", {3, 2}, "2*(d3+1)-d2: 2 * ([3] + 1) - [2] = 6"},
        ExpressionCase{"d6+d8+d10+d12", {6, 8, 10, 12}, "d6+d8+d10+d12: [6] + [8] + [10] + [12] = 36"},
        ExpressionCase{"2x3d4kl1", {1, 2, 3, 4, 4, 4}, "3d4kl1: [1, (2), (3)] = 1\n3d4kl1: [4, (4), (4)] = 4"},
        ExpressionCase{"4d6ro<2kh3", {1, 1, 5, 6, 2}, "4d6ro<2kh3: [(1) (1), 5, 6, 2] = 13"},
        ExpressionCase{"2d4*3", {1, 4}, "2d4*3: [1, 4] * 3 = 15"},
        ExpressionCase{"5", {}, "5: 5 = 5"}),
    [](const auto& param) { return std::to_string(param.index) + "_" + testing::TextName(param.param.text); });

TEST(DiceTextTest, TheScreenReaderHearsTheMarksAsWords) {
  const Expression expression = Parsed("2x4d6!ro1kh3");
  const std::vector<std::int32_t> faces{1, 6, 2, 5, 3, 2, 6, 6, 1, 4, 4, 4};
  std::size_t next = 0;
  const auto rolled = RollExpression(expression, [&](std::int32_t, std::int32_t) { return faces.at(next++); });
  EXPECT_EQ(SpokenText(std::get<RollResult>(rolled)),
            "4d6!ro1kh3: 16. 1 rerolled, 6 exploded, 2, 5, 3, 2 dropped. "
            "4d6!ro1kh3: 21. 6 exploded, 6 exploded, 1, 4, 4, 4 dropped");
}

TEST(DiceTextTest, CopiedOddsHaveAHeaderAndFourSignificantDigits) {
  const std::string table = OddsTableText(*ExactOdds(Parsed("2d6")));
  EXPECT_EQ(table.substr(0, table.find('\n', 40) + 1),
            "Total\tChance\tAt least\tAt most\n2\t2.778%\t100.0%\t2.778%\n");
  EXPECT_NE(table.find("\n7\t16.67%\t58.33%\t58.33%\n"), std::string::npos);
  EXPECT_EQ(PercentText(0.004630), "0.4630%");
  EXPECT_EQ(PercentText(1.5e-10), "1.500e-08%");
}

TEST(DiceOddsTest, TooLargeIsRefusedBeforeWorkAndExplosionsSaySoWhenCut) {
  EXPECT_FALSE(OddsWithinReach(Parsed("1000d32767")));
  EXPECT_FALSE(ExactOdds(Parsed("d32767*d32767*d32767")));
  EXPECT_TRUE(OddsWithinReach(Parsed("1000d6")));
  EXPECT_TRUE(ExactOdds(Parsed("3d6!"))->truncated);
  EXPECT_FALSE(ExactOdds(Parsed("d1!"))->truncated);
  std::stop_source stop;
  stop.request_stop();
  EXPECT_FALSE(ExactOdds(Parsed("100d6"), stop.get_token()));
}

}  // namespace
}  // namespace tambrel::dice
