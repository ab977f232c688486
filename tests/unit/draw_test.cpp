#include "roll/draw.h"

#include <gtest/gtest.h>

#include <ostream>

#include <array>
#include <map>
#include <set>
#include <string>

#include "runtime/random_generator.h"
#include "support/case_names.h"
#include "support/recording_services.h"

namespace tambrel {
namespace {

using testing::RecordingServices;

TEST(RandomGenerator, SameSeedSameSequenceOtherSeedOther) {
  RandomGenerator a(42), b(42), c(43);
  for (int i = 0; i < 100; ++i) {
    const auto x = a.Next();
    EXPECT_EQ(x, b.Next());
    EXPECT_NE(x, c.Next());
  }
}

TEST(RandomGenerator, TimerThatDoesNotMoveStillGivesFreshDraws) {
  RandomGenerator generator(7);
  std::set<std::uint64_t> seen;
  for (int i = 0; i < 10000; ++i) {
    generator.MixTimer(123456789);
    seen.insert(generator.Next());
  }
  EXPECT_EQ(seen.size(), 10000u);
}

TEST(RandomGenerator, SingleStaysInTheHalfOpenUnitInterval) {
  RandomGenerator generator(1);
  float lowest = 1, highest = 0;
  for (int i = 0; i < 100000; ++i) {
    const float x = generator.NextSingle();
    ASSERT_GE(x, 0.0f);
    ASSERT_LT(x, 1.0f);
    lowest = std::min(lowest, x);
    highest = std::max(highest, x);
  }
  EXPECT_LT(lowest, 0.001f);
  EXPECT_GT(highest, 0.999f);
}

TEST(RandomGenerator, BetweenCoversItsRangeAndNothingElse) {
  RandomGenerator generator(99);
  EXPECT_EQ(generator.Between(5, 5), 5);
  std::set<std::int32_t> seen;
  for (int i = 0; i < 2000; ++i) {
    const auto v = generator.Between(-3, 3);
    ASSERT_GE(v, -3);
    ASSERT_LE(v, 3);
    seen.insert(v);
  }
  EXPECT_EQ(seen.size(), 7u);
  for (int i = 0; i < 1000; ++i) {
    const auto v = generator.Between(INT32_MIN, INT32_MAX);  // the full 2^32 range
    static_cast<void>(v);
  }
  for (int i = 0; i < 1000; ++i) {
    const auto v = generator.Between(-32768, 1);
    ASSERT_GE(v, -32768);
    ASSERT_LE(v, 1);
  }
}

TEST(RandomGenerator, EntropySeededGeneratorsDiffer) {
  EXPECT_NE(RandomGenerator::FromEntropy().Next(), RandomGenerator::FromEntropy().Next());
}

struct RangeCase {
  std::int16_t n;
  std::int16_t lowest;
  std::int16_t highest;
};

void PrintTo(const RangeCase& c, std::ostream* os) { *os << "n=" << c.n; }

class DrawRollRangeTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(DrawRollRangeTest, StaysBetweenOneAndN) {
  RecordingServices services(static_cast<std::uint64_t>(GetParam().n + 40000));
  for (int i = 0; i < 5000; ++i) {
    const std::int16_t value = DrawRoll(GetParam().n, services);
    ASSERT_GE(value, GetParam().lowest) << "n = " << GetParam().n;
    ASSERT_LE(value, GetParam().highest) << "n = " << GetParam().n;
  }
  EXPECT_EQ(services.randomizes, 5000) << "the timer is mixed in before every draw";
}

INSTANTIATE_TEST_SUITE_P(Table, DrawRollRangeTest,
                         ::testing::Values(RangeCase{1, 1, 1}, RangeCase{2, 1, 2},
                                           RangeCase{6, 1, 6}, RangeCase{100, 1, 100},
                                           RangeCase{32767, 1, 32767}, RangeCase{-4, -4, 1},
                                           RangeCase{-32768, -32768, 1}),
                         [](const auto& param_info) {
                           return "sides_" + testing::TextName(std::to_string(param_info.param.n));
                         });

// The die is fair: every face as likely as every other, the end faces
// included. A chi-square test at the 0.1% level over 60,000 throws.
TEST(DrawRoll, SixSidedDieIsFair) {
  RecordingServices services(2026);
  constexpr int kThrows = 60000;
  std::array<int, 7> counts{};
  for (int i = 0; i < kThrows; ++i) ++counts.at(static_cast<std::size_t>(DrawRoll(6, services)));
  EXPECT_EQ(counts[0], 0);
  const double expected = kThrows / 6.0;
  double chiSquare = 0;
  for (int face = 1; face <= 6; ++face) {
    const double d = counts.at(static_cast<std::size_t>(face)) - expected;
    chiSquare += d * d / expected;
  }
  EXPECT_LT(chiSquare, 20.52) << "5 degrees of freedom, p = 0.001";
  // A rounding draw would give the end faces half the weight of the others.
  EXPECT_GT(counts[1], counts[3] * 0.9);
  EXPECT_GT(counts[6], counts[3] * 0.9);
}

TEST(DrawRoll, NegativeNDrawsEveryValueFromNToOne) {
  RecordingServices services(5);
  std::map<int, int> counts;
  for (int i = 0; i < 6000; ++i) ++counts[DrawRoll(-4, services)];
  ASSERT_EQ(counts.size(), 6u);
  EXPECT_EQ(counts.begin()->first, -4);
  EXPECT_EQ(counts.rbegin()->first, 1);
  for (const auto& [value, count] : counts) EXPECT_GT(count, 800) << value;
}

}  // namespace
}  // namespace tambrel
