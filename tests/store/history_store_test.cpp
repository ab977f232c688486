// The history store against a real SQLite file in a private state folder,
// and the in-memory store against the same rules.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>

#include "roll/history.h"
#include "runtime/memory_history_store.h"
#include "runtime/sqlite_history_store.h"
#include "store/store_support.h"
#include "support/case_names.h"

namespace tambrel {
namespace {

using testing::Collect;
using testing::Fields;
using testing::IntegrityCheck;
using testing::kD6;
using testing::kRoomy;
using testing::MakeRun;
using testing::PrivateStateHome;
using testing::Spawn;
using ::testing::ElementsAre;

const StoredRange kD20{1, 20, 2000};

std::vector<StoredRun> AllRuns(HistoryStore& store) {
  std::vector<StoredRun> runs;
  EXPECT_TRUE(store.ForEachRun([&](const StoredRun& run) { runs.push_back(run); }));
  return runs;
}

TEST(SqliteHistoryStore, KeepsRunsWholeAcrossReopening) {
  const PrivateStateHome home;
  const std::string path = DefaultHistoryPath();
  ASSERT_EQ(path, home.Folder() + "/tambrel/history.sqlite3");
  std::vector<std::int16_t> large(32767);
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<std::int16_t>(i % 6 + 1);
  // A Dice roll among them, its totals counted under its expression.
  const std::vector<StoredRun> made = {
      MakeRun(1'765'000'000'123, 6, {3, 1, 6, 6}),
      MakeRun(1'765'000'001'000, -4, {-32768, 32767, -1, 0}),
      testing::DiceRoll(1'765'000'001'500, "7, 4, 12, and 997 more"),
      MakeRun(1'765'000'002'500, 6, large),
  };
  std::vector<std::int64_t> ids;
  std::int64_t attack = 0;
  {
    auto store = OpenSqliteHistoryStore(path);
    ASSERT_EQ(store->Problem(), "");
    EXPECT_EQ(std::filesystem::status(home.Folder() + "/tambrel").permissions(),
              std::filesystem::perms::owner_all);
    for (const StoredRun& run : made) {
      ids.push_back((run.expression.empty() ? store->Record(run, kD6, kRoomy)
                                            : store->RecordRoll(run, {"2d6", 1500, {{4, 1}, {7, 900}, {12, 99}}}, kRoomy))
                        .value_or(-1));
    }
    ASSERT_TRUE(store->AddTotals({"2d6", 9999, {{7, 1}}}));
    const std::int64_t fireball = store->SaveRoll("Fireball", "8d6").value_or(-1);
    attack = store->SaveRoll("Attack", "1d20+5").value_or(-1);
    EXPECT_TRUE(store->RenameSavedRoll(attack, "Attack, twice"));
    EXPECT_TRUE(store->DeleteSavedRoll(fireball));
    EXPECT_TRUE(store->DeleteSavedRoll(fireball));  // gone already: no failure
  }
  EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end(), std::greater_equal<>()), ids.end());  // each later larger
  auto store = OpenSqliteHistoryStore(path);
  ASSERT_EQ(store->Problem(), "");
  EXPECT_EQ(store->RunCount(), 4);

  std::vector<StoredRun> expected = made;
  for (std::size_t i = 0; i < made.size(); ++i) expected[i].id = ids[i];
  const std::vector<StoredRun> whole = AllRuns(*store);  // oldest first
  ASSERT_EQ(whole.size(), 4U);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(Fields(whole[i]), Fields(expected[i])) << i;
  const ExpressionTally totals = store->TotalsOf("2d6").value_or(ExpressionTally{});
  EXPECT_EQ(std::tie(totals.sinceMs, totals.rolls, totals.counts),
            std::make_tuple(1500, 1001U, std::map<std::int64_t, std::uint64_t>{{4, 1}, {7, 901}, {12, 99}}));
  const std::vector<SavedRoll> kept = store->SavedRolls().value_or(std::vector<SavedRoll>{});
  ASSERT_EQ(kept.size(), 1U);
  EXPECT_EQ(std::tie(kept[0].id, kept[0].name, kept[0].expression),
            std::make_tuple(attack, std::string("Attack, twice"), std::string("1d20+5")));

  const std::vector<StoredRun> heads = store->Runs(0, 50, 2);  // newest first
  ASSERT_EQ(heads.size(), 4U);
  EXPECT_EQ(heads[0].id, ids[3]);
  EXPECT_EQ(heads[0].valueCount, 32767);
  EXPECT_EQ(heads[0].sum, expected[3].sum);
  EXPECT_THAT(heads[0].values, ElementsAre(1, 2));
  EXPECT_EQ(Fields(heads[1]), Fields(expected[2]));
  EXPECT_THAT(heads[2].values, ElementsAre(-32768, 32767));
  EXPECT_EQ(store->Runs(3, 5, 10).at(0).values, made[0].values);

  const std::vector<StoredRun> picked = store->RunsById({ids[0], 999, ids[3], ids[0]});
  ASSERT_EQ(picked.size(), 2U);
  EXPECT_EQ(Fields(picked[0]), Fields(expected[3]));
  EXPECT_EQ(Fields(picked[1]), Fields(expected[0]));

  // The tally: d6 values 1..6 from the large run, plus the first run's.
  std::uint64_t sixes = 0;
  for (const StoredCount& count : store->Counts()) {
    if (count.value == 6) sixes = count.count;
  }
  EXPECT_EQ(sixes, 32767U / 6 + 2);
}

// The same rules for both stores: the run limit, the value limit, and the
// newest run kept whatever its size.
struct LimitCase {
  const char* name;
  HistoryLimits limits;
  // Of the runs recorded, oldest first; below zero, a Dice roll of 1,000
  // totals keeping text as long as that many values.
  std::vector<int> sizes;
  std::vector<std::size_t> kept;   // indexes into sizes, newest first
};

class HistoryLimitsTest : public ::testing::TestWithParam<std::tuple<bool, LimitCase>> {};

TEST_P(HistoryLimitsTest, ForgetsTheOldestRunsFirst) {
  const auto& [onDisk, limitCase] = GetParam();
  const PrivateStateHome home;
  auto store = onDisk ? OpenSqliteHistoryStore(DefaultHistoryPath()) : MakeMemoryHistoryStore();
  std::vector<std::int64_t> ids;
  for (std::size_t i = 0; i < limitCase.sizes.size(); ++i) {
    const auto size = static_cast<std::size_t>(std::abs(limitCase.sizes[i]));
    ids.push_back((limitCase.sizes[i] < 0
                       ? store->RecordRoll(testing::DiceRoll(0, std::string(2 * size, '7')), {"2d6", 0, {}}, limitCase.limits)
                       : store->Record(MakeRun(0, 6, std::vector<std::int16_t>(size, 1)), kD6, limitCase.limits))
                      .value_or(-1));
  }
  std::vector<std::int64_t> expected;
  for (const std::size_t index : limitCase.kept) expected.push_back(ids[index]);
  std::vector<std::int64_t> kept;
  for (const StoredRun& run : store->Runs(0, 100, 0)) kept.push_back(run.id);
  EXPECT_EQ(kept, expected);
  EXPECT_EQ(store->RunCount(), static_cast<std::int64_t>(expected.size()));
  EXPECT_EQ(store->Problem(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Stores, HistoryLimitsTest,
    ::testing::Combine(::testing::Bool(),
                       ::testing::Values(
                           LimitCase{"run limit", {3, 1000}, {1, 1, 1, 1, 1}, {4, 3, 2}},
                           LimitCase{"value limit", {100, 10}, {4, 4, 4}, {2, 1}},
                           LimitCase{"values exactly at the limit", {100, 10}, {5, 5}, {1, 0}},
                           LimitCase{"newest alone over the limit", {100, 10}, {4, 20}, {1}},
                           LimitCase{"both limits", {2, 7}, {1, 1, 3, 3}, {3, 2}},
                           LimitCase{"a dice roll weighs its text", {100, 10}, {4, 3, -4, 3}, {3, 2, 1}})),
    [](const auto& caseInfo) {
      return std::string(std::get<0>(caseInfo.param) ? "file_" : "memory_") +
             testing::WordsName(std::get<1>(caseInfo.param).name);
    });

class HistoryTallyTest : public ::testing::TestWithParam<bool> {};

TEST_P(HistoryTallyTest, ClearRunsKeepsTheCountsAndResetForgetsOneRange) {
  const PrivateStateHome home;
  auto store = GetParam() ? OpenSqliteHistoryStore(DefaultHistoryPath()) : MakeMemoryHistoryStore();
  ASSERT_TRUE(store->Record(MakeRun(5000, 6, {2, 2, 5}), kD6, kRoomy));
  // A range already counted keeps the time its count began.
  ASSERT_TRUE(store->Record(MakeRun(6000, 6, {5}), {1, 6, 5500}, kRoomy));
  ASSERT_TRUE(store->Record(MakeRun(7000, 20, {17}), kD20, kRoomy));
  // And so are an expression's, each since its first roll or its reset.
  ASSERT_TRUE(store->RecordRoll(testing::DiceRoll(7500, "7"), {"2d6", 7500, {{7, 3}}}, kRoomy));
  ASSERT_TRUE(store->AddTotals({"1d20", 7600, {{20, 1}}}));
  const auto totals = [&](const char* expression) {
    const ExpressionTally tally = store->TotalsOf(expression).value_or(ExpressionTally{-1, 0, {}});
    return std::make_tuple(tally.sinceMs, tally.rolls, tally.counts.size());
  };
  const auto counts = [&] {
    std::vector<std::tuple<std::int32_t, std::int32_t, std::int32_t, std::uint64_t>> all;
    for (const StoredCount& c : store->Counts()) all.emplace_back(c.lowest, c.highest, c.value, c.count);
    return all;
  };
  const auto ranges = [&] {
    std::vector<std::tuple<std::int32_t, std::int32_t, std::int64_t>> all;
    for (const StoredRange& r : store->Ranges()) all.emplace_back(r.lowest, r.highest, r.sinceMs);
    return all;
  };
  using C = std::tuple<std::int32_t, std::int32_t, std::int32_t, std::uint64_t>;
  using R = std::tuple<std::int32_t, std::int32_t, std::int64_t>;
  EXPECT_THAT(counts(), ElementsAre(C{1, 6, 2, 2}, C{1, 6, 5, 2}, C{1, 20, 17, 1}));
  EXPECT_THAT(ranges(), ElementsAre(R{1, 6, 1000}, R{1, 20, 2000}));

  EXPECT_TRUE(store->ClearRuns());
  EXPECT_EQ(store->RunCount(), 0);
  EXPECT_THAT(counts(), ElementsAre(C{1, 6, 2, 2}, C{1, 6, 5, 2}, C{1, 20, 17, 1}));
  EXPECT_EQ(totals("2d6"), std::make_tuple(7500, 3U, 1U));
  EXPECT_TRUE(store->ResetTotals("2d6", 8000));
  EXPECT_EQ(std::make_tuple(totals("2d6"), totals("1d20"), totals("3d6")),
            std::make_tuple(std::make_tuple(8000, 0U, 0U), std::make_tuple(7600, 1U, 1U), std::make_tuple(0, 0U, 0U)));

  EXPECT_TRUE(store->ResetRange({1, 6, 9000}));
  EXPECT_THAT(counts(), ElementsAre(C{1, 20, 17, 1}));
  EXPECT_THAT(ranges(), ElementsAre(R{1, 6, 9000}, R{1, 20, 2000}));
  EXPECT_TRUE(store->Record(MakeRun(9500, 6, {4}), kD6, kRoomy));
  EXPECT_THAT(counts(), ElementsAre(C{1, 6, 4, 1}, C{1, 20, 17, 1}));
  EXPECT_EQ(store->Problem(), "");
}

INSTANTIATE_TEST_SUITE_P(Stores, HistoryTallyTest, ::testing::Bool(),
                         [](const auto& caseInfo) { return caseInfo.param ? "file" : "memory"; });

TEST(SqliteHistoryStore, TwoProcessesRecordingAtOnceLoseNoRun) {
  const PrivateStateHome home;
  const std::string path = DefaultHistoryPath();
  constexpr int kRunsEach = 150;
  int start[2];
  ASSERT_EQ(pipe(start), 0);
  std::vector<testing::Child> writers;
  for (std::int16_t writer = 1; writer <= 2; ++writer) {
    writers.push_back(Spawn([&, writer](int out) {
      auto store = OpenSqliteHistoryStore(path);
      char go = 0;
      close(start[1]);
      if (read(start[0], &go, 1) < 0) return;  // both begin together
      std::string ids;
      for (std::int16_t i = 0; i < kRunsEach; ++i) {
        // On a busy machine one writer can wait out the busy timeout while
        // the other commits: a passing refusal, which the History meets by
        // keeping the run waiting and writing it at the next; here it is
        // tried again at once.
        std::optional<std::int64_t> id;
        for (int attempt = 0; attempt < 5 && !id && !store->ProblemLasts(); ++attempt) {
          id = store->Record(MakeRun(writer, writer, {writer, i}), kD6, kRoomy);
        }
        ids += id ? std::to_string(*id) + "\n" : "failed: " + store->Problem() + "\n";
      }
      testing::WriteAll(out, ids);
    }));
  }
  close(start[0]);
  close(start[1]);  // the children's reads return: go
  std::vector<std::int64_t> reported;
  for (const auto& writer : writers) {
    std::istringstream lines(Collect(writer));
    for (std::string line; std::getline(lines, line);) {
      ASSERT_EQ(line.find("failed"), std::string::npos) << line;
      reported.push_back(std::stoll(line));
    }
  }
  ASSERT_EQ(reported.size(), 2U * kRunsEach);
  auto store = OpenSqliteHistoryStore(path);
  std::vector<std::int64_t> kept;
  for (const StoredRun& run : AllRuns(*store)) {
    kept.push_back(run.id);
    EXPECT_EQ(run.values.at(0), run.sides);
  }
  std::sort(reported.begin(), reported.end());
  EXPECT_EQ(kept, reported);
  std::uint64_t counted = 0;
  for (const StoredCount& count : store->Counts()) counted += count.count;
  EXPECT_EQ(counted, 4U * kRunsEach);
  store.reset();
  EXPECT_EQ(IntegrityCheck(path), "ok");
}

// Two Tambrels on one file: a Reset in one, or runs in the other, reach
// the other's tally at its next run or when its Distribution window is
// refreshed, so that both say what the file says.
TEST(SqliteHistoryStore, TwoTambrelsAgreeOnTheCountsTheFileKeeps) {
  const PrivateStateHome home;
  const std::string path = DefaultHistoryPath();
  const ValueRange d6{1, 6};
  std::int64_t now = 1000;
  Tally tallies[2];
  std::vector<std::unique_ptr<History>> tambrels;
  for (Tally& tally : tallies) {
    tambrels.push_back(std::make_unique<History>(
        tally, [&](std::string&) { return OpenSqliteHistoryStore(path); }, [&] { return now++; }));
  }
  const auto roll = [&](int which, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) tallies[which].Add(d6, 4);
    tambrels[static_cast<std::size_t>(which)]->RunPlaced({6, std::vector<std::int16_t>(count, 4)});
  };
  roll(0, 10);
  roll(1, 10);
  tambrels[0]->Agree(d6);
  EXPECT_EQ(tallies[0].TotalOf(d6), 20U);
  EXPECT_EQ(tallies[1].TotalOf(d6), 20U);

  tambrels[0]->ResetRange(d6);
  tambrels[1]->Agree(d6);
  EXPECT_EQ(tallies[1].TotalOf(d6), 0U);
  EXPECT_EQ(tallies[1].SinceOf(d6), tallies[0].SinceOf(d6));
  roll(1, 5);
  tambrels[0]->Agree(d6);
  EXPECT_EQ(tallies[0].TotalOf(d6), 5U);
  EXPECT_EQ(tallies[1].TotalOf(d6), 5U);
  EXPECT_EQ(OpenSqliteHistoryStore(path)->TallyOf(1, 6)->counts, (std::vector<StoredValueCount>{{4, 5}}));

  // The counts of an expression the same way.
  tambrels[0]->DiceRolled(testing::DiceRoll(0, "7"), "2d6", {{7, 600}, {8, 400}});
  tambrels[1]->DiceRolled(testing::DiceRoll(0, "7"), "2d6", {{7, 1}});
  EXPECT_EQ(tambrels[0]->TallyOfExpression("2d6").rolls, 1001U);
  tambrels[1]->ResetExpression("2d6");
  const ExpressionTally afterReset = tambrels[0]->TallyOfExpression("2d6");
  EXPECT_EQ(std::tie(afterReset.rolls, afterReset.sinceMs), std::make_tuple(0U, now - 1));
}

}  // namespace
}  // namespace tambrel
