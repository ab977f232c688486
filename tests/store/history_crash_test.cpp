// A process recording runs is killed with SIGKILL at random moments, again
// and again, into the same file: every run it reported as kept must be
// there, whole, and the file sound. Then a process bringing a version 1
// file to version 2, killed the same way. TAMBREL_CRASH_SEED replays a
// failure.

#include <SQLiteCpp/Database.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string_view>
#include <thread>

#include "runtime/sqlite_history_store.h"
#include "store/store_support.h"

namespace tambrel {
namespace {

constexpr int kKills = 220;
constexpr int kMigrationKills = 60;
// Small enough that the trim runs in most transactions.
constexpr HistoryLimits kLimits{40, 30'000};

// The child: records runs until it is killed, and after each commit writes
// "id ended sides v1 v2 ...\n" to `out` in one write.
void RecordForever(const std::string& path, unsigned seed, int out) {
  std::mt19937 random(seed);
  auto store = OpenSqliteHistoryStore(path);
  for (std::int64_t n = 0;; ++n) {
    StoredRun run;
    run.endedAtMs = static_cast<std::int64_t>(seed) * 100'000 + n;
    run.sides = static_cast<std::int16_t>(std::uniform_int_distribution<int>(2, 100)(random));
    // Mostly short runs; now and then one whose values span pages.
    const int count = random() % 8 == 0 ? std::uniform_int_distribution<int>(1000, 6000)(random)
                                         : std::uniform_int_distribution<int>(1, 40)(random);
    std::uniform_int_distribution<int> value(1, run.sides);
    for (int i = 0; i < count; ++i) run.values.push_back(static_cast<std::int16_t>(value(random)));
    const auto id = store->Record(run, {1, run.sides, run.endedAtMs}, kLimits);
    std::string line;
    if (!id) {
      testing::WriteAll(out, "problem " + store->Problem() + "\n");
      return;
    }
    line = std::to_string(*id) + " " + std::to_string(run.endedAtMs) + " " +
           std::to_string(run.sides);
    for (const std::int16_t v : run.values) line += " " + std::to_string(v);
    testing::WriteAll(out, line + "\n");
  }
}

// Every reported run that the limits still keep is in the file, whole.
// Returns how many were checked; `newest` must be among them.
std::size_t CheckReportedRuns(const std::string& path,
                              const std::map<std::int64_t, StoredRun>& reported,
                              std::int64_t newest) {
  auto store = OpenSqliteHistoryStore(path);
  EXPECT_EQ(store->Problem(), "");
  std::map<std::int64_t, StoredRun> kept;
  EXPECT_TRUE(store->ForEachRun([&](const StoredRun& run) { kept[run.id] = run; }));
  if (kept.empty()) return 0;
  std::size_t checked = 0;
  for (auto it = reported.lower_bound(kept.begin()->first); it != reported.end(); ++it) {
    const auto found = kept.find(it->first);
    EXPECT_NE(found, kept.end()) << "run " << it->first << " was reported kept but is gone";
    if (found == kept.end()) continue;
    EXPECT_EQ(testing::Fields(found->second), testing::Fields(it->second));
    ++checked;
  }
  EXPECT_TRUE(newest < 0 || kept.count(newest) == 1) << "the last reported run is gone";
  return checked;
}

unsigned Seed(const char* test) {
  const char* given = std::getenv("TAMBREL_CRASH_SEED");
  const unsigned seed = given != nullptr ? static_cast<unsigned>(std::stoul(given)) : std::random_device{}();
  std::cout << test << " seed: " << seed << " (TAMBREL_CRASH_SEED replays it)\n";
  return seed;
}

TEST(HistoryCrash, EveryReportedRunSurvivesKillNine) {
  const testing::PrivateStateHome home;
  const std::string path = DefaultHistoryPath();
  std::mt19937 random(Seed("crash test"));

  std::map<std::int64_t, StoredRun> reported;
  std::size_t checked = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    const unsigned childSeed = static_cast<unsigned>(random());
    const testing::Child child =
        testing::Spawn([&](int out) { RecordForever(path, childSeed, out); });
    // Now and then at once, so that some die while opening the file.
    const long delayUs =
        random() % 10 == 0 ? 0 : std::uniform_int_distribution<long>(0, 40'000)(random);
    const timespec delay{0, delayUs * 1000};
    nanosleep(&delay, nullptr);
    ::kill(child.pid, SIGKILL);
    std::istringstream lines(testing::Collect(child));
    std::int64_t newest = -1;
    for (std::string line; std::getline(lines, line);) {
      if (lines.eof()) break;  // cut off by the kill: not reported
      ASSERT_NE(line.rfind("problem", 0), 0U) << line;
      std::istringstream fields(line);
      StoredRun run;
      int number = 0;
      fields >> run.id >> run.endedAtMs >> number;
      run.sides = static_cast<std::int16_t>(number);
      while (fields >> number) {
        run.values.push_back(static_cast<std::int16_t>(number));
        run.sum += number;
      }
      run.valueCount = static_cast<std::int32_t>(run.values.size());
      reported[run.id] = run;
      newest = run.id;
    }
    // After every kill, as the next start of the program would find it.
    checked += CheckReportedRuns(path, reported, newest);
    if (::testing::Test::HasFailure()) {
      std::cout << "failed after kill " << kill << "\n";
      return;
    }
  }
  std::cout << kKills << " kills, " << reported.size() << " runs reported, " << checked
            << " checks of a reported run against the file\n";
  // The limits were reached, so the trim ran between kills too.
  ASSERT_GT(reported.size(), static_cast<std::size_t>(kLimits.runs));

  // No kill may leave the file looking damaged.
  for (const auto& entry : std::filesystem::directory_iterator(home.Folder() + "/tambrel")) {
    EXPECT_EQ(entry.path().filename().string().find("damaged"), std::string::npos) << entry.path();
  }
  EXPECT_EQ(testing::IntegrityCheck(path), "ok");
}

// Writes to the log slowed, in the child only, so that writing the
// migration's transaction lasts long enough to be killed in.
template <auto kWrite, typename... Args>
ssize_t SlowLogWrite(int fd, Args... args) {
  char name[PATH_MAX] = {};
  if (readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), name, sizeof name - 1) > 0 &&
      std::string_view(name).ends_with("-wal")) {
    std::this_thread::sleep_for(std::chrono::milliseconds(8));
  }
  return kWrite(fd, args...);
}

// A version 1 file brought to version 2 by a process killed at a random
// moment, again and again: it is then at version 1 as it was, or at
// version 2 with all of it kept, and opens.
TEST(HistoryCrash, AMigrationKilledLeavesVersion1OrVersion2) {
  const testing::PrivateStateHome home;
  const std::string path = DefaultHistoryPath();
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::filesystem::copy_file(TAMBREL_V1_HISTORY, path);  // even a reader leaves files beside it
  const std::string before = testing::Version1Contents(path);
  std::mt19937 random(Seed("migration crash test"));
  // Killed `delay` after it begins to open a fresh copy, or never; returns how long it lived.
  const auto migrate = [&](std::optional<std::chrono::nanoseconds> delay) {
    for (const char* companion : {"", "-wal", "-shm"}) std::filesystem::remove(path + companion);
    std::filesystem::copy_file(TAMBREL_V1_HISTORY, path);
    const testing::Child child = testing::Spawn([&](int out) {
      sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
      vfs->xSetSystemCall(vfs, "write", reinterpret_cast<sqlite3_syscall_ptr>(&SlowLogWrite<&::write, const void*, size_t>));
      vfs->xSetSystemCall(vfs, "pwrite", reinterpret_cast<sqlite3_syscall_ptr>(&SlowLogWrite<&::pwrite, const void*, size_t, off_t>));
      vfs->xSetSystemCall(vfs, "pwrite64", reinterpret_cast<sqlite3_syscall_ptr>(&SlowLogWrite<&::pwrite64, const void*, size_t, off64_t>));
      testing::WriteAll(out, "opening\n");
      testing::WriteAll(out, OpenSqliteHistoryStore(path)->Problem() + "opened\n");
    });
    char marker[8];
    EXPECT_EQ(read(child.output, marker, sizeof marker), 8);
    const auto start = std::chrono::steady_clock::now();
    if (delay) std::this_thread::sleep_for(*delay);
    if (delay) ::kill(child.pid, SIGKILL);
    const std::string said = testing::Collect(child);
    EXPECT_TRUE(said.empty() || said == "opened\n") << said;
    return std::chrono::steady_clock::now() - start;
  };
  // The kills fall from its start to well past its end.
  std::chrono::nanoseconds opening{0};
  for (int i = 0; i < 3; ++i) opening = std::max(opening, migrate(std::nullopt));
  std::map<std::string, int> outcomes;
  for (int kill = 0; kill < kMigrationKills; ++kill) {
    migrate(std::chrono::nanoseconds(std::uniform_int_distribution<std::int64_t>(0, opening.count() * 3 / 2)(random)));
    const bool framesLeft = std::filesystem::exists(path + "-wal") && std::filesystem::file_size(path + "-wal") > 32;
    const int version = SQLite::Database(path).execAndGet("PRAGMA user_version").getInt();
    const int newTables = SQLite::Database(path).execAndGet(
        "SELECT count(*) FROM sqlite_master WHERE name IN ('totals', 'expressions', 'saved_rolls')").getInt();
    ASSERT_TRUE((version == 1 && newTables == 0) || (version == 2 && newTables == 3)) << version << " " << newTables;
    EXPECT_EQ(testing::Version1Contents(path), before);
    EXPECT_EQ(testing::IntegrityCheck(path), "ok");
    ++outcomes[version == 2 ? "version 2" : framesLeft ? "version 1, killed while writing it" : "version 1"];
    ASSERT_EQ(OpenSqliteHistoryStore(path)->Problem(), "");
  }
  std::cout << kMigrationKills << " kills during a migration of "
            << std::chrono::duration_cast<std::chrono::milliseconds>(opening).count() << " ms:";
  for (const auto& [outcome, count] : outcomes) std::cout << " " << count << " " << outcome << ";";
  std::cout << "\n";
  EXPECT_GT(outcomes["version 1, killed while writing it"], 0);
}

}  // namespace
}  // namespace tambrel
