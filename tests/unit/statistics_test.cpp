#include "roll/statistics.h"

#include <gtest/gtest.h>

#include <ostream>

#include <vector>

#include "roll/result_grid.h"
#include "support/case_names.h"
#include "support/grid_fixture.h"
#include "support/recording_services.h"

namespace tambrel {
namespace {

using testing::Message;
using testing::RecordingServices;

class StatisticsTest : public testing::GridTest {
 protected:
  // Shows the values as a roll run would; returns how many fitted.
  int Show(const std::vector<std::int16_t>& values) {
    grid_.ClearResults();
    for (const std::int16_t value : values) {
      if (!Place(value)) break;
    }
    return Shown();
  }

  // What a report told the user, in an information box under the
  // application title.
  std::string Told(void (*report)(const GridFields&, const LabelArray&, Services&)) {
    report(fields_, labels_, services_);
    EXPECT_EQ(services_.messages.back().style, MsgStyle::Information);
    EXPECT_EQ(services_.messages.back().title, "Tambrel1");
    return services_.messages.back().prompt;
  }
  std::string SumPrompt() { return Told(ReportSum); }
  std::string AveragePrompt() { return Told(ReportAverage); }

  RecordingServices services_;
};

struct StatCase {
  std::vector<std::int16_t> values;
  const char* sum;
  const char* average;
};

void PrintTo(const StatCase& c, std::ostream* os) {
  for (const auto v : c.values) *os << v << ' ';
}

class StatisticsTableTest : public StatisticsTest, public ::testing::WithParamInterface<StatCase> {};

TEST_P(StatisticsTableTest, ReportsSumAndAverageRoundedHalfToEven) {
  ASSERT_EQ(Show(GetParam().values), static_cast<int>(GetParam().values.size()));
  EXPECT_EQ(SumPrompt(), std::string("The Sum is: ") + GetParam().sum);
  EXPECT_EQ(AveragePrompt(), std::string("The Average is: ") + GetParam().average);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StatisticsTableTest,
    ::testing::Values(StatCase{{2, 3}, "5", "2"},        // 2.5 goes to the even 2
                      StatCase{{3, 4}, "7", "4"},        // 3.5 goes to the even 4
                      StatCase{{1, 2, 2}, "5", "2"},     // 1.67
                      StatCase{{6}, "6", "6"},
                      StatCase{{-4, -3}, "-7", "-4"},    // -3.5 goes to the even -4
                      StatCase{{-32768, -32768, 32767}, "-32769", "-10923"},
                      StatCase{{100, 100, 100, 100, 100, 100, 100, 100, 99}, "899", "100"}),
    [](const auto& param_info) {  // a run of one value as 100x8
      std::string name = "values";
      const auto& values = param_info.param.values;
      for (std::size_t i = 0, run = 1; i < values.size(); i += run) {
        for (run = 1; i + run < values.size() && values[i + run] == values[i];) ++run;
        name += "_" + testing::TextName(std::to_string(values[i]));
        if (run > 1) name += "x" + std::to_string(run);
      }
      return name;
    });

TEST_F(StatisticsTest, EmptyGridSaysSoUnderEachButtonsOwnTitle) {
  ReportSum(fields_, labels_, services_);
  ReportAverage(fields_, labels_, services_);
  Show({5, 6});
  grid_.ClearResults();
  ReportSum(fields_, labels_, services_);
  ReportAverage(fields_, labels_, services_);
  const Message sum{"No numbers have been generated", MsgStyle::Information, "Sum"};
  const Message average{"No numbers have been generated", MsgStyle::Information, "Rounded Average"};
  EXPECT_EQ(services_.messages, (std::vector<Message>{sum, average, sum, average}));
}

// After a full grid the hidden label left by the failed placement holds no
// value: it adds nothing to the sum and is not counted in the average.
TEST_F(StatisticsTest, FullGridAveragesOnlyTheValuesShown) {
  const std::vector<std::int16_t> values = {6, 6, 6, 6, 6, 6, 6, 6, 6, 6};
  ASSERT_EQ(Show(values), 9);
  ASSERT_EQ(labels_.Count(), 11);
  EXPECT_EQ(SumPrompt(), "The Sum is: 54");
  EXPECT_EQ(AveragePrompt(), "The Average is: 6");
}

TEST_F(StatisticsTest, TotalOfAFullLargestGridStaysIn32Bits) {
  fields_.sngRightLimit = 1e9f;
  const std::vector<std::int16_t> values(kLastResultLabel, -32768);
  ASSERT_EQ(Show(values), kLastResultLabel);
  EXPECT_EQ(TotalOfResults(labels_), -32768 * 32766);
  EXPECT_EQ(AveragePrompt(), "The Average is: -32768");
}

}  // namespace
}  // namespace tambrel
