// Where the history file lives, and what the store does with a file it
// cannot use: bad files set aside, a full disk, a size limit, a read-only
// folder, a lock held by another process.

#include <SQLiteCpp/Database.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <iostream>
#include <numeric>
#include <random>
#include <sstream>
#include <utility>

#include "roll/history.h"
#include "runtime/sqlite_history_store.h"
#include "store/store_support.h"
#include "support/case_names.h"

namespace tambrel {
namespace {

using testing::Collect;
using testing::IntegrityCheck;
using testing::kD6;
using testing::kRoomy;
using testing::PrivateStateHome;
using testing::RunOf;
using testing::Slurp;
using testing::Spawn;
using testing::TestMount;

void Spill(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string RandomBytes(std::mt19937& random, std::size_t size) {
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random() & 0xFFU);
  return bytes;
}

// A sound history of 20 runs, closed (so its journal is folded in).
void MakeHistory(const std::string& path) {
  auto store = OpenSqliteHistoryStore(path);
  for (std::int16_t i = 0; i < 20; ++i) (void)store->Record(RunOf(500, i), kD6, kRoomy);
}

std::mt19937& Random() {
  static std::mt19937 random = [] {
    const char* given = std::getenv("TAMBREL_STORE_SEED");
    const auto seed = given != nullptr ? static_cast<unsigned>(std::stoul(given))
                                       : std::random_device{}();
    std::cout << "history file test seed: " << seed << " (TAMBREL_STORE_SEED replays it)\n";
    return std::mt19937(seed);
  }();
  return random;
}

struct PathCase {
  const char* name;
  const char* stateHome;  // null: unset
  const char* expected;
};

class DefaultHistoryPathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(DefaultHistoryPathTest, FollowsTheStateFolderRules) {
  const PrivateStateHome home;  // sets XDG_STATE_HOME back to a private folder
  const char* home_was = std::getenv("HOME");
  const std::string homeWas = home_was != nullptr ? home_was : "";
  setenv("HOME", "/home/ann", 1);
  if (GetParam().stateHome != nullptr) {
    setenv("XDG_STATE_HOME", GetParam().stateHome, 1);
  } else {
    unsetenv("XDG_STATE_HOME");
  }
  EXPECT_EQ(DefaultHistoryPath(), GetParam().expected);
  setenv("XDG_STATE_HOME", home.Folder().c_str(), 1);
  if (home_was != nullptr) {
    setenv("HOME", homeWas.c_str(), 1);
  } else {
    unsetenv("HOME");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Environment, DefaultHistoryPathTest,
    ::testing::Values(
        PathCase{"set", "/var/state", "/var/state/tambrel/history.sqlite3"},
        PathCase{"trailing slash", "/var/state/", "/var/state/tambrel/history.sqlite3"},
        PathCase{"unset", nullptr, "/home/ann/.local/state/tambrel/history.sqlite3"},
        PathCase{"empty", "", "/home/ann/.local/state/tambrel/history.sqlite3"},
        PathCase{"relative", "state", "/home/ann/.local/state/tambrel/history.sqlite3"}),
    [](const auto& caseInfo) { return testing::WordsName(caseInfo.param.name); });

// `prefix` then the local time as YYYYMMDD-hhmmss.
bool IsStampedName(const std::string& name, const std::string& prefix) {
  if (name.size() != prefix.size() + 15 || name.rfind(prefix, 0) != 0) return false;
  for (std::size_t i = prefix.size(); i < name.size(); ++i) {
    const bool dash = i == prefix.size() + 8;
    if (dash ? name[i] != '-' : (name[i] < '0' || name[i] > '9')) return false;
  }
  return true;
}

enum class Fate { kSetAside, kUsedInPlace, kLeftAlone };

struct BadFile {
  const char* name;
  std::function<void(const std::string& path)> make;
  Fate fate;
};

class BadHistoryFileTest : public ::testing::TestWithParam<BadFile> {};

TEST_P(BadHistoryFileTest, IsSetAsideAndANewFileBegun) {
  const PrivateStateHome home;
  const std::string path = DefaultHistoryPath();
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  GetParam().make(path);
  const bool isFolder = std::filesystem::is_directory(path);
  const std::string before = isFolder ? "" : Slurp(path);
  const std::string walBefore = Slurp(path + "-wal");

  std::string aside;
  auto store = OpenSqliteHistoryStore(path, &aside);
  if (GetParam().fate == Fate::kLeftAlone) {
    EXPECT_EQ(aside, "");
    EXPECT_EQ(store->Problem(), "the file was written by a newer version of Tambrel");
    EXPECT_FALSE(store->Record(RunOf(3, 4), kD6, kRoomy));
    EXPECT_EQ(store->RunCount(), 0);
    store.reset();
    EXPECT_TRUE(Slurp(path) == before) << "the newer file was changed";
    return;
  }
  EXPECT_EQ(store->Problem(), "");
  if (GetParam().fate == Fate::kSetAside) {
    EXPECT_TRUE(IsStampedName(aside, path + ".damaged-")) << aside;
    EXPECT_EQ(std::filesystem::is_directory(aside), isFolder);
    if (!isFolder) {
      EXPECT_TRUE(Slurp(aside) == before) << "the damaged file's bytes changed";
    }
    if (!walBefore.empty()) {
      EXPECT_TRUE(Slurp(aside + "-wal") == walBefore) << "its journal was not moved along";
    }
  } else {
    EXPECT_EQ(aside, "");
  }
  const auto id = store->Record(RunOf(3, 4), kD6, kRoomy);
  EXPECT_TRUE(id);
  store.reset();
  store = OpenSqliteHistoryStore(path);
  EXPECT_EQ(store->RunCount(), 1);
  store.reset();
  EXPECT_EQ(IntegrityCheck(path), "ok");

  // Damaged again within the same second: a second name, the first kept.
  Spill(path, "not a database, again");
  std::string second;
  EXPECT_EQ(OpenSqliteHistoryStore(path, &second)->Problem(), "");
  EXPECT_NE(second, aside);
  EXPECT_EQ(Slurp(second), "not a database, again");
  if (!aside.empty()) {
    EXPECT_TRUE(std::filesystem::exists(aside));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadHistoryFileTest,
    ::testing::Values(
        // SQLite takes an empty file for an empty database: nothing to keep.
        BadFile{"empty", [](const std::string& path) { Spill(path, ""); }, Fate::kUsedInPlace},
        BadFile{"random bytes, with a journal",
                [](const std::string& path) {
                  Spill(path, RandomBytes(Random(), 8192));
                  Spill(path + "-wal", RandomBytes(Random(), 4096));
                },
                Fate::kSetAside},
        BadFile{"zeros", [](const std::string& path) { Spill(path, std::string(4096, '\0')); },
                Fate::kSetAside},
        BadFile{"truncated",
                [](const std::string& path) {
                  MakeHistory(path);
                  const auto size = std::filesystem::file_size(path);
                  const auto cut = std::uniform_int_distribution<std::uintmax_t>(1, size - 1)(Random());
                  std::cout << "truncated at " << cut << " of " << size << " bytes\n";
                  std::filesystem::resize_file(path, cut);
                },
                Fate::kSetAside},
        BadFile{"a page overwritten",
                [](const std::string& path) {
                  MakeHistory(path);
                  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
                  // SQLite keeps no checksums: a value's bytes can change
                  // unseen, but not a page of the tree.
                  file.seekp(4096);
                  file << RandomBytes(Random(), 4096);
                },
                Fate::kSetAside},
        BadFile{"another program's database",
                [](const std::string& path) {
                  SQLite::Database db(path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
                  db.exec("CREATE TABLE runs(x); PRAGMA user_version = 1");
                },
                Fate::kSetAside},
        BadFile{"a folder in its place",
                [](const std::string& path) {
                  std::filesystem::create_directory(path);
                  Spill(path + "/inside", "kept");
                },
                Fate::kSetAside},
        BadFile{"newer version",
                [](const std::string& path) {
                  MakeHistory(path);
                  SQLite::Database(path, SQLite::OPEN_READWRITE).exec("PRAGMA user_version = 3");
                },
                Fate::kLeftAlone}),
    [](const auto& caseInfo) { return testing::WordsName(caseInfo.param.name); });

// A file written by the released version 1 (tests/store/history-v1.sqlite3,
// made by its store: runs of several dice, the oldest trimmed, a range
// reset) is brought to version 2 with every run, count and since kept, and
// then keeps Dice and saved rolls.
TEST(HistoryFileMigration, AVersion1FileKeepsEverythingAndTakesDiceRolls) {
  const PrivateStateHome home;
  const std::string path = DefaultHistoryPath();
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::filesystem::copy_file(TAMBREL_V1_HISTORY, path);
  const std::string before = testing::Version1Contents(path);
  ASSERT_EQ(std::count(before.begin(), before.end(), '\n'), 6 + 32 + 6 + 2) << before;
  auto store = OpenSqliteHistoryStore(path);
  ASSERT_EQ(store->Problem(), "");
  EXPECT_EQ(SQLite::Database(path).execAndGet("PRAGMA user_version").getInt(), 2);
  EXPECT_EQ(testing::Version1Contents(path), before);
  // As the store reads them: the oldest run kept, its range's since, and
  // the d20 count that began again at its reset.
  EXPECT_EQ(store->Runs(5, 1, 4).at(0).values, (std::vector<std::int16_t>{-3, 0, 1, -4}));
  EXPECT_EQ(store->Counts().size(), 32U);
  EXPECT_EQ(store->TallyOf(1, 20)->sinceMs, 1'765'000'420'000);
  // A new run's id follows the last one version 1 gave, trimmed or not.
  EXPECT_EQ(store->RecordRoll(testing::DiceRoll(1, "7, 9"), {"2d6", 1, {{7, 600}, {9, 400}}}, kRoomy), 11);
  EXPECT_TRUE(store->SaveRoll("Fireball", "8d6"));
  store = OpenSqliteHistoryStore(path);
  EXPECT_EQ(store->Runs(0, 1, 0).at(0).results, "7, 9");
  EXPECT_EQ(store->TotalsOf("2d6")->rolls, 1000U);
  EXPECT_EQ(store->SavedRolls()->at(0).name, "Fireball");
  EXPECT_EQ(SQLite::Database(path).execAndGet("SELECT vals FROM kept").getInt(), 314 + 2);  // "7, 9" weighs 2
}

// Records runs of 2,000 values until the store refuses one; returns how
// many it kept and what it said.
std::pair<int, std::string> RecordUntilRefused(HistoryStore& store) {
  int kept = 0;
  while (kept < 5000 && store.Record(RunOf(2000, 3), kD6, kRoomy)) ++kept;
  // Refused for now, not for good; what it kept can still be read.
  EXPECT_FALSE(store.ProblemLasts());
  EXPECT_EQ(store.RunCount(), kept);
  return {kept, store.Problem()};
}

void ExpectKept(const std::string& path, int kept) {
  auto store = OpenSqliteHistoryStore(path);
  EXPECT_EQ(store->Problem(), "");
  EXPECT_EQ(store->RunCount(), kept);
  store.reset();
  EXPECT_EQ(IntegrityCheck(path), "ok");
}

TEST(HistoryFileProblems, AFileSizeLimitStopsTheKeepingAndLosesNothingKept) {
  const PrivateStateHome home;
  const std::string path = DefaultHistoryPath();
  const std::string said = Collect(Spawn([&](int out) {
    const rlimit limit{300 * 1024, 300 * 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, SIG_IGN);
    auto store = OpenSqliteHistoryStore(path);
    const auto [kept, problem] = RecordUntilRefused(*store);
    testing::WriteAll(out, std::to_string(kept) + "\n" + problem);
  }));
  const auto newline = said.find('\n');
  ASSERT_NE(newline, std::string::npos) << said;
  const int kept = std::stoi(said.substr(0, newline));
  EXPECT_GT(kept, 0);
  EXPECT_EQ(said.substr(newline + 1), "the file has reached its size limit");
  ExpectKept(path, kept);
}

struct ReadOnlyCase {
  const char* name;
  bool fileExists;
  bool stateFolderReadOnly;  // else the tambrel folder within it
  const char* problem;       // after the state folder
};

class ReadOnlyFolderTest : public ::testing::TestWithParam<ReadOnlyCase> {};

TEST_P(ReadOnlyFolderTest, KeepsNothingAndSaysWhichFolder) {
  const PrivateStateHome home;
  const std::string path = DefaultHistoryPath();
  const std::string folder = home.Folder() + "/tambrel";
  if (GetParam().fileExists) MakeHistory(path);
  if (!GetParam().stateFolderReadOnly) std::filesystem::create_directories(folder);
  const std::string before = Slurp(path);
  // Root ignores permissions, but not a read-only mount.
  const std::string mounted = GetParam().stateFolderReadOnly ? home.Folder() : folder;
  TestMount bind(mounted, nullptr, MS_BIND, nullptr, mounted.c_str());
  if (bind.error != 0) GTEST_SKIP() << "cannot bind-mount here: " << std::strerror(bind.error);
  ASSERT_TRUE(bind.Remount(MS_BIND | MS_RDONLY));
  auto store = OpenSqliteHistoryStore(path);
  EXPECT_EQ(store->Problem(), "the folder " + home.Folder() + GetParam().problem);
  EXPECT_TRUE(store->ProblemLasts());
  EXPECT_FALSE(store->Record(RunOf(3, 4), kD6, kRoomy));
  EXPECT_EQ(std::filesystem::exists(path), GetParam().fileExists);
  if (GetParam().fileExists) {
    EXPECT_TRUE(Slurp(path) == before) << "the file was changed";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, ReadOnlyFolderTest,
    ::testing::Values(
        ReadOnlyCase{"history kept before", true, false, "/tambrel cannot be written"},
        ReadOnlyCase{"no history yet", false, false, "/tambrel cannot be written"},
        ReadOnlyCase{"folder not made yet", false, true, "/tambrel cannot be made"}),
    [](const auto& caseInfo) { return testing::WordsName(caseInfo.param.name); });

// Saving that stops for a while, as a session sees it on the real file:
// two runs from an earlier session, three made, then the cause, runs made
// meanwhile, the cause gone, and one run more.
enum class Cause { kFullDisk, kLock, kReadOnly };

struct OutageCase {
  const char* name;
  Cause cause;
  int meanwhile;  // runs made while it lasts (a lock costs a second each)
  const char* problem;
};

class OutageTest : public ::testing::TestWithParam<OutageCase> {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(folder_);
    if (Is(Cause::kFullDisk)) {
      disk_ = std::make_unique<TestMount>(folder_, "tmpfs", 0, "size=1m");
      if (disk_->error != 0) GTEST_SKIP() << "no small tmpfs here: " << std::strerror(disk_->error);
    }
    const std::unique_ptr<History> earlier = Session();
    for (const std::int16_t value : {std::int16_t{50}, std::int16_t{51}}) Roll(*earlier, value);
  }
  void TearDown() override { End(); }
  [[nodiscard]] bool Is(Cause cause) const { return GetParam().cause == cause; }

  std::unique_ptr<History> Session() {
    tally_ = Tally();
    auto history = std::make_unique<History>(tally_, [this](std::string&) {
      return OpenSqliteHistoryStore(path_);
    }, [this] { return now_++; });
    history->OnProblem([this](const std::string& problem) { told_.push_back(problem); });
    history->Open();
    return history;
  }
  void Roll(History& history, std::int16_t value) {
    tally_.Add({1, 100}, value);
    history.RunPlaced({100, {value}});
  }

  void Begin() {
    if (Is(Cause::kFullDisk)) {
      std::ofstream filler(folder_ + "/filler", std::ios::binary);
      for (const std::string block(4096, 'x'); filler.write(block.data(), 4096);) {}
    } else if (Is(Cause::kLock)) {
      // Held three seconds at least, and until told.
      ASSERT_EQ(pipe(release_), 0);
      holder_ = Spawn([this](int out) {
        close(release_[1]);
        SQLite::Database db(path_, SQLite::OPEN_READWRITE);
        db.exec("BEGIN IMMEDIATE");
        testing::WriteAll(out, "locked");
        sleep(3);
        char go = 0;
        if (read(release_[0], &go, 1) < 0) return;
      });
      char locked[6];
      ASSERT_EQ(read(holder_.output, locked, sizeof locked), 6);
    } else {
      bind_ = std::make_unique<TestMount>(folder_, nullptr, MS_BIND, nullptr, folder_.c_str());
      if (bind_->error != 0) GTEST_SKIP() << "cannot bind-mount here: " << std::strerror(bind_->error);
      ASSERT_TRUE(bind_->Remount(MS_BIND | MS_RDONLY));
    }
  }
  void End() {
    if (Is(Cause::kFullDisk)) std::filesystem::remove(folder_ + "/filler");
    bind_.reset();
    if (holder_.pid > 0) {
      close(release_[1]);
      close(release_[0]);
      Collect(std::exchange(holder_, {}));
    }
  }

  // The first value of each run, newest first; Dice rolls left out.
  static std::vector<int> Firsts(const std::vector<StoredRun>& runs) {
    std::vector<int> firsts;
    for (const StoredRun& run : runs) {
      if (run.expression.empty()) firsts.push_back(run.values.at(0));
    }
    return firsts;
  }
  std::vector<int> InFile() { return Firsts(OpenSqliteHistoryStore(path_)->Runs(0, 100, 1)); }

  const PrivateStateHome home_;
  const std::string folder_ = home_.Folder() + "/tambrel";
  const std::string path_ = folder_ + "/history.sqlite3";
  std::unique_ptr<TestMount> disk_;
  std::unique_ptr<TestMount> bind_;
  testing::Child holder_;
  int release_[2] = {-1, -1};
  Tally tally_;
  std::int64_t now_ = 1'765'000'000'000;
  std::vector<std::string> told_;
};

TEST_P(OutageTest, TheSessionsRunsAreShownMeanwhileAndWrittenOnceItPasses) {
  const bool passes = !Is(Cause::kReadOnly);
  // A read-only folder is there from the start; the others come later.
  if (!passes) Begin();
  std::unique_ptr<History> history = Session();
  std::int16_t made = 0;
  for (; made < 3; ++made) Roll(*history, static_cast<std::int16_t>(made + 1));
  if (passes) Begin();
  if (IsSkipped() || HasFatalFailure()) return;
  for (int i = 0; i < GetParam().meanwhile; ++i) Roll(*history, ++made);
  // A Dice roll and a saved roll wait with the runs, and are shown.
  history->DiceRolled(testing::DiceRoll(0, "7"), "2d6", {{7, 1000}});
  EXPECT_LT(history->SaveRoll("Fireball", "8d6"), 0);
  EXPECT_EQ(history->Runs(0, 1).at(0).results, "7");
  EXPECT_EQ(history->TallyOfExpression("2d6").rolls, 1000U);
  EXPECT_EQ(history->SavedRolls().size(), 1U);
  EXPECT_THAT(told_, ::testing::ElementsAre(::testing::EndsWith(GetParam().problem)));
  // Every run of the session, newest first, above the earlier ones where
  // the file can be read.
  std::vector<int> shown(static_cast<std::size_t>(made));
  std::iota(shown.rbegin(), shown.rend(), 1);
  const std::vector<int> earlier = {51, 50};
  const auto withEarlier = [&] { auto all = shown; all.insert(all.end(), {51, 50}); return all; };
  EXPECT_EQ(Firsts(history->Runs(0, 100)), passes ? withEarlier() : shown);

  End();
  Roll(*history, ++made);
  shown.insert(shown.begin(), made);
  EXPECT_EQ(Firsts(history->Runs(0, 100)), passes ? withEarlier() : shown);
  EXPECT_EQ(InFile(), passes ? withEarlier() : earlier);
  EXPECT_EQ(history->Resumed(), passes ? std::optional<std::int64_t>(GetParam().meanwhile + 1) : std::nullopt);
  EXPECT_EQ(told_.size(), 1U);

  // A restart finds what the file holds, each run counted once.
  history.reset();
  history = Session();
  const std::vector<int> kept = passes ? withEarlier() : earlier;
  EXPECT_EQ(Firsts(history->Runs(0, 100)), kept);
  EXPECT_EQ(tally_.TotalOf({1, 100}), kept.size());
  EXPECT_EQ(history->TallyOfExpression("2d6").rolls, passes ? 1000U : 0U);
  EXPECT_EQ(history->SavedRolls().size(), passes ? 1U : 0U);
  EXPECT_EQ(history->Problem(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Causes, OutageTest,
    ::testing::Values(OutageCase{"full disk freed", Cause::kFullDisk, 6, "the disk is full"},
                      OutageCase{"lock held 3 s", Cause::kLock, 2,
                                 "another program has held the file locked for 1 second"},
                      OutageCase{"read-only folder", Cause::kReadOnly, 6,
                                 "/tambrel cannot be written"}),
    [](const auto& caseInfo) { return testing::WordsName(caseInfo.param.name); });

}  // namespace
}  // namespace tambrel
