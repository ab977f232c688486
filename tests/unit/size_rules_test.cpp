#include "window/size_rules.h"

#include <gtest/gtest.h>

#include <ostream>

#include "support/case_names.h"

namespace tambrel {
namespace {

TEST(SizeRules, DesignClientAreaGivesTheDesignLimits) {
  const ResizeDecision d = DecideResize({WindowState::Normal, 5400, 4000, 5280, 3600});
  EXPECT_EQ(d.rightLimit, 4280);
  EXPECT_EQ(d.bottomLimit, 3100);
  EXPECT_FALSE(d.newOuterWidth);
  EXPECT_FALSE(d.newOuterHeight);
}

struct SizeCase {
  const char* what;
  WindowSize size;
  std::optional<float> width;
  std::optional<float> height;
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.what; }

class SizeRulesTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SizeRulesTest, HoldsWidthAndMinimumHeightOnlyInTheNormalState) {
  const SizeCase& c = GetParam();
  const ResizeDecision d = DecideResize(c.size);
  EXPECT_EQ(d.newOuterWidth, c.width) << c.what;
  EXPECT_EQ(d.newOuterHeight, c.height) << c.what;
  EXPECT_EQ(d.rightLimit, c.size.scaleWidth - 1000) << c.what;
  EXPECT_EQ(d.bottomLimit, c.size.scaleHeight - 500) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SizeRulesTest,
    ::testing::Values(
        SizeCase{"wider snaps back", {WindowState::Normal, 6000, 4000, 5880, 3600}, 5400, {}},
        SizeCase{"narrower snaps back", {WindowState::Normal, 5385, 4000, 5265, 3600}, 5400, {}},
        SizeCase{"shorter than 4000", {WindowState::Normal, 5400, 3990, 5280, 3590}, {}, 4000},
        SizeCase{"taller is free", {WindowState::Normal, 5400, 9000, 5280, 8600}, {}, {}},
        SizeCase{"both wrong", {WindowState::Normal, 300, 300, 300, 300}, 5400, 4000},
        SizeCase{"maximised untouched", {WindowState::Maximized, 28800, 16200, 28800, 15800}, {}, {}},
        SizeCase{"minimised, zero area", {WindowState::Minimized, 0, 0, 0, 0}, {}, {}}),
    [](const auto& param_info) { return testing::WordsName(param_info.param.what); });

}  // namespace
}  // namespace tambrel
