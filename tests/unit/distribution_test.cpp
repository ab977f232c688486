#include "roll/distribution.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tambrel {
namespace {

struct BarsCase {
  const char* name;
  std::int16_t sides;
  std::size_t bars;
  Bar firstBar;  // from a tally of one of each value
  Bar lastBar;
};

class BarsTest : public ::testing::TestWithParam<BarsCase> {};

TEST_P(BarsTest, OneBarPerValueUpToAHundredThenAtMostFiftyEqualGroups) {
  const ValueRange range = RangeOfSides(GetParam().sides);
  Tally tally;
  for (std::int32_t value = range.lowest; value <= range.highest; ++value) tally.Add(range, value);
  const Distribution shown = Describe(tally, range);
  ASSERT_EQ(shown.bars.size(), GetParam().bars);
  const auto same = [](const Bar& a, const Bar& b) {
    return a.first == b.first && a.last == b.last && a.count == b.count && a.expected == b.expected;
  };
  EXPECT_TRUE(same(shown.bars.front(), GetParam().firstBar));
  EXPECT_TRUE(same(shown.bars.back(), GetParam().lastBar));
  // The bars cover the range once, in order, and every value is counted.
  std::uint64_t counted = 0;
  for (std::size_t i = 1; i < shown.bars.size(); ++i) {
    EXPECT_EQ(shown.bars[i].first, shown.bars[i - 1].last + 1);
  }
  for (const Bar& bar : shown.bars) counted += bar.count;
  EXPECT_EQ(counted, static_cast<std::uint64_t>(range.Width()));
  EXPECT_DOUBLE_EQ(*shown.mean, shown.fairMean);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, BarsTest,
    ::testing::Values(BarsCase{"d6", 6, 6, {1, 1, 1, 1.0}, {6, 6, 1, 1.0}},
                      BarsCase{"d100", 100, 100, {1, 1, 1, 1.0}, {100, 100, 1, 1.0}},
                      // Three values a bar; the last holds the two left over.
                      BarsCase{"OneTo101", 101, 34, {1, 3, 3, 3.0}, {100, 101, 2, 2.0}},
                      BarsCase{"MinusFourToOne", -4, 6, {-4, -4, 1, 1.0}, {1, 1, 1, 1.0}},
                      BarsCase{"OneTo32767", 32767, 50, {1, 656, 656, 656.0},
                               {32145, 32767, 623, 623.0}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(TallyTest, RangesAreKeptApartAndResetForgetsOnlyTheOneShown) {
  Tally tally;
  const ValueRange d6 = RangeOfSides(6);
  const ValueRange d20 = RangeOfSides(20);
  EXPECT_FALSE(tally.Latest());
  tally.Add(d6, 3);
  tally.Add(d6, 3);
  tally.Add(d20, 17);
  EXPECT_EQ(tally.Latest(), d20);
  EXPECT_EQ(tally.CountsOf(d6), (std::vector<ValueCount>{{3, 2}}));
  EXPECT_EQ(tally.CountsOf(d20), (std::vector<ValueCount>{{17, 1}}));
  // Back to the d6: its tally goes on where it was.
  tally.Add(d6, 1);
  EXPECT_EQ(tally.Latest(), d6);
  EXPECT_EQ(tally.CountsOf(d6), (std::vector<ValueCount>{{1, 1}, {3, 2}}));

  tally.Reset(d6);
  EXPECT_EQ(tally.TotalOf(d6), 0u);
  EXPECT_EQ(tally.Latest(), d6);
  EXPECT_EQ(tally.TotalOf(d20), 1u);
  const Distribution emptied = Describe(tally, d6);
  EXPECT_FALSE(emptied.test);
  EXPECT_FALSE(emptied.mean);
  EXPECT_EQ(emptied.verdict, Verdict::TooFewToJudge);
  for (const Bar& bar : emptied.bars) EXPECT_EQ(bar.count, 0u);
}

TEST(DistributionTest, JudgedOnlyOnceAFairDieGivesFivePerBar) {
  const ValueRange d6 = RangeOfSides(6);
  Tally tally;
  for (int i = 0; i < 29; ++i) tally.Add(d6, 1 + i % 6);
  EXPECT_EQ(Describe(tally, d6).verdict, Verdict::TooFewToJudge);  // 4.83 a face
  tally.Add(d6, 6);
  const Distribution even = Describe(tally, d6);  // five of each
  EXPECT_EQ(even.verdict, Verdict::ConsistentWithFair);
  EXPECT_DOUBLE_EQ(even.test->statistic, 0.0);
  EXPECT_EQ(even.test->degreesOfFreedom, 5);

  // Thirty ones: as unfair as a d6 gets.
  Tally loaded;
  for (int i = 0; i < 30; ++i) loaded.Add(d6, 1);
  const Distribution unfair = Describe(loaded, d6);
  EXPECT_EQ(unfair.verdict, Verdict::UnusualForFair);
  EXPECT_DOUBLE_EQ(unfair.test->statistic, 150.0);
  EXPECT_EQ(unfair.mostCommon->first, (std::vector<std::int32_t>{1}));
  EXPECT_EQ(unfair.mostCommon->count, 30u);
  EXPECT_EQ(unfair.leastCommon->first, (std::vector<std::int32_t>{2, 3, 4}));
  EXPECT_EQ(unfair.leastCommon->sharing, 5);
  EXPECT_EQ(unfair.leastCommon->count, 0u);
}

struct TableValue {
  double statistic;
  std::int32_t freedom;
  double p;
};

TEST(ChiSquareTest, UpperTailMatchesPublishedTables) {
  // Critical values as printed in the usual tables, to their two decimals.
  for (const TableValue& row : {TableValue{3.84, 1, 0.05}, TableValue{6.63, 1, 0.01},
                                TableValue{11.07, 5, 0.05}, TableValue{15.09, 5, 0.01},
                                TableValue{30.14, 19, 0.05}, TableValue{66.34, 49, 0.05},
                                TableValue{123.23, 99, 0.05}}) {
    EXPECT_NEAR(ChiSquareUpperTail(row.statistic, row.freedom), row.p, row.p * 0.01)
        << row.statistic << " with " << row.freedom;
  }
}

}  // namespace
}  // namespace tambrel
