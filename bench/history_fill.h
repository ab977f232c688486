#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "roll/history.h"
#include "roll/tally.h"
#include "runtime/sqlite_history_store.h"

namespace tambrel {

// The history files the benchmarks start from, recorded run by run through
// the real store, as the program itself would have kept them.
enum class HistoryFill {
  kEmpty,     // the file with no run in it
  kRuns,      // 10,000 runs as players make them: d6, d20 and d100 runs of
              // 1 to 100 values, a few other dice, and a full 4K grid in 200
  kValues,    // the value limit: 1,000 runs of 10,000 values
};

struct FillCount {
  std::int64_t runs = 0;
  std::int64_t values = 0;
};

// Records the runs of `fill` into the file at `path`; says why it could
// not in `problem`.
inline FillCount RecordHistoryFile(const std::string& path, HistoryFill fill,
                                   std::string& problem) {
  FillCount made;
  std::unique_ptr<HistoryStore> store = OpenSqliteHistoryStore(path);
  if (!store || !store->Problem().empty()) {
    problem = store ? store->Problem() : "out of memory";
    return made;
  }
  if (fill == HistoryFill::kEmpty) return made;
  std::mt19937 random(24);  // the same file every time
  const std::int64_t runs = fill == HistoryFill::kRuns ? kHistoryLimits.runs : 1'000;
  // A run a minute, ending a little before now, so that "Time" shows dates.
  constexpr std::int64_t kMinute = 60'000;
  const std::int64_t firstMs = 1'795'000'000'000 - runs * kMinute;
  constexpr std::int16_t kOtherDice[] = {4, 8, 10, 12};
  for (std::int64_t i = 0; i < runs; ++i) {
    StoredRun run;
    run.endedAtMs = firstMs + i * kMinute;
    std::int32_t count = 10'000;
    if (fill == HistoryFill::kRuns) {
      const auto pick = random() % 20;
      run.sides = static_cast<std::int16_t>(pick < 9    ? 6
                                            : pick < 15 ? 20
                                            : pick < 19 ? 100
                                                        : kOtherDice[random() % 4]);
      count = i % 200 == 199 ? 10'944 : static_cast<std::int32_t>(1 + random() % 100);
    } else {
      run.sides = 6;
    }
    std::uniform_int_distribution<int> die(1, run.sides);
    run.values.reserve(static_cast<std::size_t>(count));
    for (std::int32_t v = 0; v < count; ++v) {
      run.values.push_back(static_cast<std::int16_t>(die(random)));
      run.sum += run.values.back();
    }
    run.valueCount = count;
    const ValueRange range = RangeOfSides(run.sides);
    if (!store->Record(run, StoredRange{range.lowest, range.highest, firstMs}, kHistoryLimits)) {
      problem = store->Problem();
      return made;
    }
    ++made.runs;
    made.values += count;
  }
  return made;
}

}  // namespace tambrel

namespace tambrel {

// The same, recorded in a folder in memory (/dev/shm) where there is one,
// then copied to `path`: each run is a synced transaction, and ten thousand
// syncs to a disk would take minutes.
inline FillCount FillHistoryFile(const std::string& path, HistoryFill fill, std::string& problem) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (!fs::is_directory("/dev/shm", error)) return RecordHistoryFile(path, fill, problem);
  std::string staging = "/dev/shm/tambrel-fill-XXXXXX";
  if (mkdtemp(staging.data()) == nullptr) return RecordHistoryFile(path, fill, problem);
  const FillCount made = RecordHistoryFile(staging + "/history.sqlite3", fill, problem);
  if (problem.empty()) {
    fs::create_directories(fs::path(path).parent_path(), error);
    // The store has been closed, so the file holds every run, its log
    // folded in.
    fs::copy_file(staging + "/history.sqlite3", path, fs::copy_options::overwrite_existing, error);
    if (error) problem = error.message();
  }
  fs::remove_all(staging, error);
  return made;
}

}  // namespace tambrel
