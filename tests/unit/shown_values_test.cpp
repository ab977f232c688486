#include "window/shown_values.h"

#include <gtest/gtest.h>

#include "support/case_names.h"
#include "support/grid_fixture.h"

namespace tambrel {
namespace {

class ShownValuesTest : public testing::GridTest {
 protected:
  // Values 1, 2, 3, ... placed until `count` are shown or the grid is full.
  void Fill(int count) {
    for (int i = 1; i <= count; ++i) {
      if (!Place(static_cast<std::int16_t>(i))) return;
    }
  }
};

struct SpokenCase {
  int values;
  const char* spoken;
};

class SpokenValuesTest : public ShownValuesTest, public ::testing::WithParamInterface<SpokenCase> {};

TEST_P(SpokenValuesTest, CountThenTheFirstTwentyInGridOrder) {
  SetLimits(100000, 100000);  // one row holds them all
  Fill(GetParam().values);
  EXPECT_EQ(SpokenValues(labels_, RowsOfShownValues(labels_)), GetParam().spoken);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, SpokenValuesTest,
    ::testing::Values(
        SpokenCase{1, "1 value: 1"}, SpokenCase{3, "3 values: 1, 2, 3"},
        SpokenCase{20, "20 values: 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20"},
        SpokenCase{23, "23 values: 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, "
                       "and 3 more"}),
    [](const auto& param_info) { return "values_" + std::to_string(param_info.param.values); });

// Rows follow the grid's own rows, and a label left hidden by a placement
// that did not fit is neither spoken nor copied.
TEST_F(ShownValuesTest, CopiedTextKeepsTheGridRowsAndLeavesOutTheHiddenLabel) {
  SetLimits(1500, 3500);  // three to a row, two rows
  Fill(7);
  ASSERT_EQ(Shown(), 6);
  ASSERT_EQ(labels_.Count(), 8) << "the seventh is loaded but hidden";
  const ShownRows rows = RowsOfShownValues(labels_);
  EXPECT_EQ(CountOf(rows), 6);
  EXPECT_EQ(ValuesAsText(labels_, rows), "1\t2\t3\n4\t5\t6");
  EXPECT_EQ(SpokenValues(labels_, rows), "6 values: 1, 2, 3, 4, 5, 6");
}

TEST_F(ShownValuesTest, NothingShownIsNoRows) {
  SetLimits(4280, 2900);  // not even the first row fits
  Fill(1);
  ASSERT_EQ(labels_.Count(), 2);
  EXPECT_TRUE(RowsOfShownValues(labels_).empty());
  EXPECT_EQ(ValuesAsText(labels_, {}), "");
}

}  // namespace
}  // namespace tambrel
