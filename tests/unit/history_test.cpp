#include "roll/history.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "roll/history_text.h"
#include "runtime/memory_history_store.h"
#include "support/case_names.h"

namespace tambrel {
namespace {

std::vector<std::int16_t> Values(int count, std::int16_t first = 1) {
  std::vector<std::int16_t> values(static_cast<std::size_t>(count));
  std::iota(values.begin(), values.end(), first);
  return values;
}

class HistoryTest : public ::testing::Test {
 protected:
  History::Opener Memory() {
    return [](std::string&) { return MakeMemoryHistoryStore(); };
  }
  Tally tally_;
  std::int64_t now_ = 1'765'000'000'000;
  History history_{tally_, Memory(), [this] { return now_++; }};
};

TEST_F(HistoryTest, RowsAreTheRunsThatPlacedValuesNewestFirst) {
  history_.RunPlaced({6, {4, 1, 6}});
  history_.RunPlaced({20, {}});  // a run that placed nothing is no row
  history_.RunPlaced({-4, {-3, 0}});
  const std::vector<StoredRun> rows = history_.Runs(0, 10);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].sides, -4);
  EXPECT_EQ(rows[0].sum, -3);
  EXPECT_EQ(rows[1].sides, 6);
  EXPECT_EQ(rows[1].valueCount, 3);
  EXPECT_EQ(rows[1].values, (std::vector<std::int16_t>{4, 1, 6}));
  EXPECT_GT(rows[0].endedAtMs, rows[1].endedAtMs);
  // Each range counted since its first run.
  EXPECT_EQ(tally_.SinceOf(RangeOfSides(6)), rows[1].endedAtMs);
}

struct LimitCase {
  const char* name;
  int runs;
  int valuesPerRun;
  std::int64_t kept;
};

class HistoryLimitTest : public HistoryTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(HistoryLimitTest, TheOldestRunsGoFirst) {
  const LimitCase& limit = GetParam();
  const std::vector<std::int16_t> values = Values(limit.valuesPerRun);
  for (int run = 0; run < limit.runs; ++run) history_.RunPlaced({static_cast<std::int16_t>(run % 30000 + 1), values});
  ASSERT_EQ(history_.RunCount(), limit.kept);
  EXPECT_EQ(history_.Runs(0, 1).front().sides, (limit.runs - 1) % 30000 + 1);
  const std::int64_t oldest = limit.runs - limit.kept;
  EXPECT_EQ(history_.Runs(limit.kept - 1, 1).front().sides, oldest % 30000 + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, HistoryLimitTest,
    ::testing::Values(LimitCase{"ten thousand runs", 10'003, 1, 10'000},
                      LimitCase{"ten million values", 1'002, 10'000, 1'000}),
    [](const auto& param) { return testing::WordsName(param.param.name); });

struct TextCase {
  const char* name;
  const char* zone;  // POSIX TZ: "XXX-01:30" is an hour and a half ahead of UTC
  StoredRun run;
  std::string results;
  std::string csv;
  std::string copied;
};

class HistoryTextTest : public ::testing::TestWithParam<TextCase> {
 protected:
  void SetUp() override {
    const char* zone = getenv("TZ");
    saved_ = zone != nullptr ? std::optional<std::string>(zone) : std::nullopt;
    setenv("TZ", GetParam().zone, 1);
    tzset();
  }
  void TearDown() override {
    if (saved_) {
      setenv("TZ", saved_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  std::optional<std::string> saved_;
};

StoredRun Run(std::int16_t sides, std::vector<std::int16_t> values) {
  StoredRun run;
  run.endedAtMs = 1'796'738'525'250;  // 2026-12-08 14:02:05.250 UTC
  run.sides = sides;
  run.valueCount = static_cast<std::int32_t>(values.size());
  run.sum = std::accumulate(values.begin(), values.end(), std::int64_t{0});
  run.values = std::move(values);
  return run;
}

// A batch of the Dice window, 1000 rolls of `expression`.
StoredRun Dice(const char* expression, const char* results) {
  return {.id = 0, .endedAtMs = Run(0, {}).endedAtMs, .sides = 0, .valueCount = 1000, .sum = 7030, .values = {},
          .expression = expression, .times = 1000, .results = results};
}

TEST_P(HistoryTextTest, RowsCopyAndFileSayTheRun) {
  const TextCase& text = GetParam();
  StoredRun head = text.run;
  if (head.values.size() > kResultsShown) head.values.resize(kResultsShown);
  EXPECT_EQ(ResultsCell(head), text.results);
  EXPECT_EQ(CsvRow(text.run), text.csv);
  EXPECT_EQ(CopyText({text.run}), "Time\tExpression\tSides\tValues\tSum\tAverage\tResults\n" + text.copied);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, HistoryTextTest,
    ::testing::Values(
        TextCase{"three values, utc", "UTC0", Run(6, {4, 1, 6}), "4, 1, 6",
                 "2026-12-08T14:02:05+00:00,3d6,6,3,11,3.67,4 1 6\r\n",
                 "2026-12-08 14:02:05\t3d6\t6\t3\t11\t3.67\t4, 1, 6\n"},
        TextCase{"negative sides, half hour ahead", "XXX-05:30", Run(-4, {-3, 1}), "-3, 1",
                 "2026-12-08T19:32:05+05:30,2d-4,-4,2,-2,-1.00,-3 1\r\n",
                 "2026-12-08 19:32:05\t2d-4\t-4\t2\t-2\t-1.00\t-3, 1\n"},
        TextCase{"twenty five values, behind utc", "XXX+05", Run(100, Values(25)),
                 "1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, and 5 more",
                 "2026-12-08T09:02:05-05:00,25d100,100,25,325,13.00,1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 "
                 "18 19 20 21 22 23 24 25\r\n",
                 "2026-12-08 09:02:05\t25d100\t100\t25\t325\t13.00\t1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, "
                 "14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25\n"},
        // Its text as kept: on one line in the table and the copy, quoted in the CSV.
        TextCase{"dice batch, utc", "UTC0", Dice("2x4d6kh3", "[6, 5, 3, (2)] = 14\n\"3\""),
                 "[6, 5, 3, (2)] = 14 \"3\"",
                 "2026-12-08T14:02:05+00:00,1000×2x4d6kh3,,1000,7030,7.03,\"[6, 5, 3, (2)] = 14\n\"\"3\"\"\"\r\n",
                 "2026-12-08 14:02:05\t1000×2x4d6kh3\t\t1000\t7030\t7.03\t[6, 5, 3, (2)] = 14 \"3\"\n"}),
    [](const auto& param) { return testing::WordsName(param.param.name); });

TEST(HistoryTimeTest, TodayShowsTheClockAnEarlierDayTheDateToo) {
  setenv("TZ", "UTC0", 1);
  tzset();
  const std::int64_t run = 1'796'738'525'250;  // 8 Dec 2026 14:02:05
  EXPECT_EQ(TimeCell(run, run + 3'600'000), "14:02:05");
  EXPECT_EQ(TimeCell(run, run + 86'400'000), "8 Dec 2026 14:02:05");
  EXPECT_EQ(DayAndMinute(run), "8 Dec 2026 14:02");
  unsetenv("TZ");
  tzset();
}

// What waits for the store keeps its order: runs and Dice rolls beyond the
// limits or before a clear keep only their counts, a reset forgets the
// counts before it, and a saved roll is renamed by the id the store gives
// it, once the store takes them.
TEST(PendingWritesTest, KeepsTheOrderAndEveryCountUntilTheStoreTakesThem) {
  using CountMap = PendingWrites::CountMap;
  PendingWrites waiting;
  const HistoryLimits limits{2, 100};
  // A d6 run, or with `totals` a roll of 2d6.
  const auto run = [&](std::int64_t since, std::vector<std::int16_t> values, CountMap totals = {}) {
    StoredRun made;
    made.sides = totals.empty() ? 6 : 0;
    made.valueCount = static_cast<std::int32_t>(values.size());
    made.values = std::move(values);
    made.expression = totals.empty() ? "" : "2d6";
    waiting.Add(PendingWrites::Run{made, {{1, 6, since}, made.expression}, std::move(totals)}, limits);
  };
  run(1000, {1, 1});
  run(1500, {}, {{7, 2}, {12, 1}});
  run(1000, {2});
  run(1000, {3});
  EXPECT_EQ(waiting.RunCount(), 2);
  EXPECT_EQ(waiting.WaitingFor({{1, 6, 0}, {}}).counts, (CountMap{{1, 2}, {2, 1}, {3, 1}}));
  EXPECT_EQ(waiting.WaitingFor({{}, "2d6"}).counts, (CountMap{{7, 2}, {12, 1}}));
  waiting.Add(PendingWrites::Reset{{{1, 6, 2000}, {}}}, limits);
  run(2000, {5});
  const PendingWrites::Waiting afterReset = waiting.WaitingFor({{1, 6, 0}, {}});
  EXPECT_EQ(std::tie(afterReset.reset, afterReset.sinceMs, afterReset.counts), std::make_tuple(true, 2000, CountMap{{5, 1}}));
  const std::int64_t saved = waiting.Add(PendingWrites::Save{{0, "Fireball", "8d6"}}, limits);
  waiting.Add(PendingWrites::Rename{saved, "Big fireball"}, limits);
  waiting.Add(PendingWrites::Clear{}, limits);
  run(2000, {6});
  run(2500, {}, {{2, 1}});
  EXPECT_EQ(waiting.Runs(0, 10, 5).size(), 2U);
  EXPECT_TRUE(waiting.ClearWaits());
  std::vector<SavedRoll> rolls{{3, "Attack", "1d20+5"}};
  waiting.ApplySaved(rolls);
  EXPECT_EQ(rolls.back().name, "Big fireball");

  auto store = MakeMemoryHistoryStore();
  ASSERT_TRUE(store->Record(waiting.Runs(0, 1, 5).front(), {1, 20, 500}, limits));
  ASSERT_TRUE(store->SaveRoll("Attack", "1d20+5"));
  EXPECT_EQ(waiting.WriteTo(*store, limits), 2);  // the others only counted
  EXPECT_TRUE(waiting.Empty());
  const std::vector<StoredRun> kept = store->Runs(0, 2, 5);
  EXPECT_EQ(std::tie(kept.at(0).expression, kept.at(1).values), std::make_tuple("2d6", std::vector<std::int16_t>{6}));
  const StoredTally d6 = store->TallyOf(1, 6).value_or(StoredTally{});
  EXPECT_EQ(std::tie(d6.sinceMs, d6.counts), std::make_tuple(2000, std::vector<StoredValueCount>{{5, 1}, {6, 1}}));
  const ExpressionTally totals = store->TotalsOf("2d6").value_or(ExpressionTally{});
  EXPECT_EQ(std::tie(totals.sinceMs, totals.rolls, totals.counts),
            std::make_tuple(1500, 4U, CountMap{{2, 1}, {7, 2}, {12, 1}}));
  EXPECT_EQ(waiting.KeptId(saved), 2);
  EXPECT_EQ(store->SavedRolls().value_or(std::vector<SavedRoll>{}).at(1).name, "Big fireball");
}

}  // namespace
}  // namespace tambrel
