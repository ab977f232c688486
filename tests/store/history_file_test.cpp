// Where the history file lives, and what the store does with a file it
// cannot use: bad files set aside, a full disk, a size limit, a read-only
// folder, a lock held by another process.

#include <SQLiteCpp/Database.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>

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
                  SQLite::Database(path, SQLite::OPEN_READWRITE).exec("PRAGMA user_version = 2");
                },
                Fate::kLeftAlone}),
    [](const auto& caseInfo) { return testing::WordsName(caseInfo.param.name); });

// Records runs of 2,000 values until the store refuses one; returns how
// many it kept and what it said.
std::pair<int, std::string> RecordUntilRefused(HistoryStore& store) {
  int kept = 0;
  while (kept < 5000 && store.Record(RunOf(2000, 3), kD6, kRoomy)) ++kept;
  // Refused once, everything fails harmlessly from then on.
  EXPECT_TRUE(store.Runs(0, 10, 5).empty());
  EXPECT_FALSE(store.ClearRuns());
  return {kept, store.Problem()};
}

void ExpectKept(const std::string& path, int kept) {
  auto store = OpenSqliteHistoryStore(path);
  EXPECT_EQ(store->Problem(), "");
  EXPECT_EQ(store->RunCount(), kept);
  store.reset();
  EXPECT_EQ(IntegrityCheck(path), "ok");
}

TEST(HistoryFileProblems, AFullDiskStopsTheKeepingAndLosesNothingKept) {
  const PrivateStateHome home;
  const std::string folder = home.Folder() + "/tambrel";
  std::filesystem::create_directory(folder);
  const TestMount disk(folder, "tmpfs", 0, "size=256k");
  if (disk.error != 0) GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(disk.error);
  auto store = OpenSqliteHistoryStore(DefaultHistoryPath());
  ASSERT_EQ(store->Problem(), "");
  const auto [kept, problem] = RecordUntilRefused(*store);
  EXPECT_GT(kept, 0);
  EXPECT_EQ(problem, "the disk is full");
  store.reset();
  ExpectKept(DefaultHistoryPath(), kept);
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
  EXPECT_FALSE(store->Record(RunOf(3, 4), kD6, kRoomy));
  EXPECT_TRUE(Slurp(path) == before) << "the file was changed";
}

INSTANTIATE_TEST_SUITE_P(
    Folders, ReadOnlyFolderTest,
    ::testing::Values(
        ReadOnlyCase{"history kept before", true, false, "/tambrel cannot be written"},
        ReadOnlyCase{"no history yet", false, false, "/tambrel cannot be written"},
        ReadOnlyCase{"folder not made yet", false, true, "/tambrel cannot be made"}),
    [](const auto& caseInfo) { return testing::WordsName(caseInfo.param.name); });

TEST(HistoryFileProblems, ALockHeldByAnotherProgramIsWaitedForThenGivenUp) {
  const PrivateStateHome home;
  const std::string path = DefaultHistoryPath();
  auto store = OpenSqliteHistoryStore(path);
  ASSERT_TRUE(store->Record(RunOf(3, 4), kD6, kRoomy));
  const testing::Child holder = Spawn([&](int out) {
    SQLite::Database db(path, SQLite::OPEN_READWRITE);
    db.exec("BEGIN IMMEDIATE");
    testing::WriteAll(out, "locked");
    pause();
  });
  char locked[6];
  ASSERT_EQ(read(holder.output, locked, sizeof locked), 6);
  EXPECT_FALSE(store->Record(RunOf(3, 5), kD6, kRoomy));
  kill(holder.pid, SIGKILL);
  Collect(holder);
  EXPECT_EQ(store->Problem(), "another program has held the file locked for 1 second");
  ExpectKept(path, 1);
}

}  // namespace
}  // namespace tambrel
