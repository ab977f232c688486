#include "roll/result_grid.h"

#include <gtest/gtest.h>

#include "support/grid_fixture.h"

namespace tambrel {
namespace {

using ResultGridTest = testing::GridTest;

TEST_F(ResultGridTest, DesignAreaHoldsNineLabelsInOneRow) {
  for (int i = 1; i <= 9; ++i) {
    ASSERT_TRUE(Place(static_cast<std::int16_t>(i))) << "label " << i;
    EXPECT_EQ(labels_[i].left, 500.0f * static_cast<float>(i));
    EXPECT_EQ(labels_[i].top, 2900);
    EXPECT_TRUE(labels_[i].visible);
    EXPECT_EQ(labels_[i].caption, std::to_string(i));
  }
  // 4500 is the first left not less than 4280: the ninth closes the row,
  // and the tenth would start row 2 at 3200, not less than 3100.
  EXPECT_EQ(fields_.intRow, 2);
  EXPECT_FALSE(Place(10));
  EXPECT_EQ(Shown(), 9);
  ASSERT_EQ(labels_.Count(), 11) << "the failed placement leaves one hidden label";
  EXPECT_FALSE(labels_[10].visible);
}

TEST_F(ResultGridTest, TopEqualToTheBottomLimitDoesNotFit) {
  SetLimits(4280, 2900);
  EXPECT_FALSE(Place(1));
  EXPECT_EQ(Shown(), 0);
  SetLimits(4280, 2900.5f);
  grid_.ClearResults();
  EXPECT_TRUE(Place(1));
}

TEST_F(ResultGridTest, LeftEqualToTheRightLimitIsShownAndClosesItsRow) {
  SetLimits(1500, 3600);
  ASSERT_TRUE(Place(1));
  ASSERT_TRUE(Place(2));
  ASSERT_TRUE(Place(3));
  EXPECT_EQ(labels_[3].left, 1500);
  EXPECT_EQ(labels_[3].top, 2900);
  ASSERT_TRUE(Place(4));
  EXPECT_EQ(labels_[4].left, 500);
  EXPECT_EQ(labels_[4].top, 3200);
}

TEST_F(ResultGridTest, ClearRemovesEveryLabelIncludingAHiddenOne) {
  for (int i = 1; i <= 9; ++i) ASSERT_TRUE(Place(4));
  ASSERT_FALSE(Place(4));
  grid_.ClearResults();
  EXPECT_EQ(labels_.Count(), 1);
  EXPECT_EQ(fields_.intColumn, 0);
  EXPECT_EQ(fields_.intRow, 1);
  EXPECT_EQ(fields_.intNextLabel, 1);
  ASSERT_TRUE(Place(5));
  EXPECT_EQ(labels_[1].left, 500);
  EXPECT_EQ(labels_[1].top, 2900);
}

TEST_F(ResultGridTest, ClearOnAnEmptyGridChangesNothing) {
  grid_.ClearResults();
  EXPECT_EQ(labels_.Count(), 1);
  EXPECT_EQ(fields_.intColumn, 0);
  EXPECT_EQ(fields_.intRow, 1);
  EXPECT_EQ(fields_.intNextLabel, 1);
}

TEST_F(ResultGridTest, TallerWindowBetweenRunsTakesMoreRows) {
  for (int i = 1; i <= 9; ++i) ASSERT_TRUE(Place(1));
  ASSERT_FALSE(Place(1));
  SetLimits(4280, 3700);  // rows at 2900, 3200 and 3500 now fit
  grid_.ClearResults();
  int placed = 0;
  while (Place(2)) ++placed;
  EXPECT_EQ(placed, 27);
}

// Past column 65 the left no longer fits 16 bits; the grid lays out on.
TEST_F(ResultGridTest, VeryWideWindowLaysOutPastColumn65) {
  SetLimits(40000, 3100);
  for (int i = 1; i <= 80; ++i) ASSERT_TRUE(Place(3)) << "label " << i;
  EXPECT_EQ(labels_[66].left, 33000);
  EXPECT_EQ(labels_[80].left, 40000);
  EXPECT_EQ(fields_.intColumn, 0);
  EXPECT_EQ(fields_.intRow, 2);
}

TEST_F(ResultGridTest, GridHoldsAtMost32766Labels) {
  fields_.intNextLabel = kLastResultLabel + 1;
  const int before = labels_.Count();
  EXPECT_FALSE(grid_.PlaceResult(1));
  EXPECT_EQ(labels_.Count(), before);
  EXPECT_EQ(fields_.intNextLabel, 32767);
}

TEST_F(ResultGridTest, NegativeLimitsOfAMinimisedWindowPlaceNothing) {
  SetLimits(-1000, -500);
  EXPECT_FALSE(Place(1));
  EXPECT_EQ(Shown(), 0);
}

}  // namespace
}  // namespace tambrel
