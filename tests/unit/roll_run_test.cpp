#include "roll/roll_run.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "support/case_names.h"
#include "support/fake_form.h"
#include "support/grid_fixture.h"
#include "support/recording_services.h"

namespace tambrel {
namespace {

using testing::FakeForm;
using testing::Focus;
using testing::Message;
using testing::RecordingServices;

class RollRunTest : public testing::GridTest {
 protected:
  void Generate(std::string number, std::string times) {
    form_.number_text = std::move(number);
    form_.times_text = std::move(times);
    run_.Generate();
  }

  FakeForm form_{"", "1"};
  RecordingServices services_;
  RollRun run_{fields_, grid_, form_, services_};
};

const Message kInvalidNumber{"Enter a valid number", MsgStyle::Information, "Tambrel1"};
const Message kInvalidTimes{"Enter a valid amount of times", MsgStyle::Information, "Tambrel1"};
const Message kGridFull{
    "You have exceeded the size of this box\r\nYou can increase the size of the form and try again",
    MsgStyle::Information, "Tambrel Generation"};

TEST_F(RollRunTest, ThreeThrowsOfASixSidedDieStandInOneRow) {
  Generate("6", "3");
  ASSERT_EQ(Shown(), 3);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(labels_[i].left, 500.0f * static_cast<float>(i));
    EXPECT_EQ(labels_[i].top, 2900);
    const int value = std::stoi(labels_[i].caption);
    EXPECT_GE(value, 1);
    EXPECT_LE(value, 6);
  }
  EXPECT_TRUE(services_.messages.empty());
  EXPECT_EQ(form_.number_reads, 3) << "the number box is read afresh on every pass";
}

TEST_F(RollRunTest, SecondRunReplacesTheFirst) {
  Generate("6", "3");
  Generate("100", "2");
  EXPECT_EQ(Shown(), 2);
  EXPECT_EQ(labels_.Count(), 3);
}

TEST_F(RollRunTest, OneSidedDieAlwaysShowsOne) {
  Generate("1", "9");
  ASSERT_EQ(Shown(), 9);
  for (int i = 1; i <= 9; ++i) EXPECT_EQ(labels_[i].caption, "1");
}

TEST_F(RollRunTest, NegativeNumberDrawsFromNToOne) {
  Generate("-4", "9");
  ASSERT_EQ(Shown(), 9);
  for (int i = 1; i <= 9; ++i) {
    const int value = std::stoi(labels_[i].caption);
    EXPECT_GE(value, -4);
    EXPECT_LE(value, 1);
  }
}

class NoPassesTest : public RollRunTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(NoPassesTest, ClearsAndDrawsNothingSilently) {
  Generate("6", "3");
  Generate("6", GetParam());
  EXPECT_EQ(Shown(), 0);
  EXPECT_EQ(labels_.Count(), 1);
  EXPECT_TRUE(services_.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Counts, NoPassesTest, ::testing::Values("0", "-1", "-32768"),
                         [](const auto& param_info) { return testing::TextName(param_info.param); });

struct InvalidNumberCase {
  const char* number;
  const char* times;
};

void PrintTo(const InvalidNumberCase& c, std::ostream* os) {
  *os << "number \"" << c.number << "\" times " << c.times;
}

class InvalidNumberTest : public RollRunTest,
                          public ::testing::WithParamInterface<InvalidNumberCase> {};

TEST_P(InvalidNumberTest, OneMessageThenABlankBoxWithTheFocus) {
  Generate("6", "3");
  Generate(GetParam().number, GetParam().times);
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0], kInvalidNumber);
  EXPECT_EQ(form_.number_text, " ");
  EXPECT_EQ(form_.focus, Focus::Number);
  EXPECT_EQ(Shown(), 0) << "the run cleared the grid before its first pass";
  EXPECT_EQ(labels_.Count(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, InvalidNumberTest,
    ::testing::Values(InvalidNumberCase{"", "1"}, InvalidNumberCase{"0", "1"},
                      InvalidNumberCase{"", "5"}, InvalidNumberCase{"0", "5"},
                      InvalidNumberCase{" ", "5"}, InvalidNumberCase{"abc", "3"},
                      InvalidNumberCase{"99999", "3"}, InvalidNumberCase{"1.5", "3"},
                      InvalidNumberCase{"-32769", "3"}, InvalidNumberCase{"\xe2\x82\xac", "3"}),
    [](const auto& param_info) {
      return "number_" + testing::TextName(param_info.param.number) + "_times_" +
             testing::TextName(param_info.param.times);
    });

class InvalidTimesTest : public RollRunTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(InvalidTimesTest, ToldWithTheFocusOnTheTimesBoxAndTheValuesKept) {
  Generate("6", "4");
  const std::string firstValue = labels_[1].caption;
  Generate("6", GetParam());
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0], kInvalidTimes);
  EXPECT_EQ(form_.focus, Focus::Times);
  EXPECT_EQ(Shown(), 4);
  EXPECT_EQ(labels_[1].caption, firstValue);
  EXPECT_EQ(form_.number_text, "6");
}

INSTANTIATE_TEST_SUITE_P(Table, InvalidTimesTest,
                         ::testing::Values("", " ", "abc", "32768", "99999999999", "1.5", "1e3",
                                           "--1"),
                         [](const auto& param_info) { return testing::TextName(param_info.param); });

TEST_F(RollRunTest, MoreThanFitShowsWhatFitsThenOneSizeMessage) {
  form_.caption = "Tambrel Generation";
  Generate("20", "30");
  EXPECT_EQ(Shown(), 9);
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0], kGridFull);
  EXPECT_EQ(labels_.Count(), 11) << "nine shown and the one that did not fit, hidden";
  EXPECT_EQ(form_.number_reads, 10) << "no pass after the one that did not fit";
}

// What a run placed is handed on before any message it ends with, so that
// it is kept before the user sees the grid; a run that placed nothing is
// not handed on.
TEST_F(RollRunTest, ARunIsRecordedWithItsValuesBeforeTheMessageItEndsWith) {
  struct Recorder final : RunRecorder {
    explicit Recorder(const RecordingServices& services) : services_(services) {}
    void RunPlaced(const PlacedRun& run) override {
      runs.push_back(run);
      messagesBefore.push_back(services_.messages.size());
    }
    const RecordingServices& services_;
    std::vector<PlacedRun> runs;
    std::vector<std::size_t> messagesBefore;
  } recorder(services_);
  RollRun run(fields_, grid_, form_, services_, nullptr, &recorder);
  std::string shownSecond;  // the second run's last value, while the grid shows it
  for (const auto& [number, times] : {std::pair{"20", "30"}, {"6", "2"}, {"", "2"}, {"6", "0"}}) {
    form_.number_text = number;
    form_.times_text = times;
    run.Generate();
    if (recorder.runs.size() == 2 && shownSecond.empty()) shownSecond = labels_[2].caption;
  }
  ASSERT_EQ(recorder.runs.size(), 2u);
  EXPECT_EQ(recorder.runs[0].sides, 20);
  EXPECT_EQ(recorder.runs[0].values.size(), 9u);
  EXPECT_EQ(recorder.messagesBefore[0], 0u) << "recorded before the grid-full message";
  EXPECT_EQ(recorder.runs[1].values.size(), 2u);
  EXPECT_EQ(std::to_string(recorder.runs[1].values[1]), shownSecond);
}

TEST_F(RollRunTest, SizeMessageIsTitledWithTheWindowsCurrentCaption) {
  form_.caption = "Another caption";
  Generate("6", "10");
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0].title, "Another caption");
}

TEST_F(RollRunTest, LargestCountEndsNormallyAtTheLastLabel) {
  fields_.sngRightLimit = 1e9f;  // room for every label in one row
  Generate("32767", "32767");
  EXPECT_EQ(Shown(), 32766);
  EXPECT_EQ(fields_.intNextLabel, 32767);
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0], kGridFull);
  EXPECT_EQ(labels_[32766].left, 32766.0f * 500.0f);
}

}  // namespace
}  // namespace tambrel
