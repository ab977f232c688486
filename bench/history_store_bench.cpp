// The history file at its limits: its size, the memory of a process that
// keeps it open, and the time of the calls the program makes on it. The
// files are made once per run in a private state folder.
#include <SQLiteCpp/Database.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "runtime/sqlite_history_store.h"

namespace tambrel {
namespace {

constexpr HistoryLimits kLimits{10'000, 10'000'000};

struct Shape {
  const char* name;
  int runs;
  int valuesPerRun;
};
// The run limit with short runs; the value limit with long ones; both.
constexpr Shape kShapes[] = {
    {"10000 runs of 20", 10'000, 20},
    {"1000 runs of 10000", 1'000, 10'000},
    {"10000 runs of 1000", 10'000, 1'000},
};

StoredRun MakeRun(std::mt19937& random, int count) {
  StoredRun run;
  run.sides = 20;
  std::uniform_int_distribution<int> value(1, 20);
  for (int i = 0; i < count; ++i) run.values.push_back(static_cast<std::int16_t>(value(random)));
  return run;
}

// The file of one shape, filled through the store itself.
const std::string& FullFile(std::size_t shape) {
  // Never destroyed: the handler that removes the folder, registered while
  // this was being made, runs only after this would have been destroyed.
  static const std::string& folder = *new std::string([] {
    std::string pattern = (std::filesystem::temp_directory_path() / "tambrel-bench-XXXXXX");
    std::string made = mkdtemp(pattern.data());
    setenv("XDG_STATE_HOME", made.c_str(), 1);  // never the user's own history
    std::atexit([] { std::filesystem::remove_all(folder); });
    return made;
  }());
  static std::string paths[std::size(kShapes)];
  if (paths[shape].empty()) {
    paths[shape] = folder + "/" + std::to_string(shape) + "/history.sqlite3";
    auto store = OpenSqliteHistoryStore(paths[shape]);
    std::mt19937 random(shape);
    for (int i = 0; i < kShapes[shape].runs; ++i) {
      (void)store->Record(MakeRun(random, kShapes[shape].valuesPerRun), {1, 20, 0}, kLimits);
    }
  }
  return paths[shape];
}

double RssMiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return 0;
}

void Describe(benchmark::State& state, std::size_t shape) {
  state.SetLabel(kShapes[shape].name);
  const std::string& path = FullFile(shape);
  state.counters["file_MiB"] =
      static_cast<double>(std::filesystem::file_size(path) +
                          (std::filesystem::exists(path + "-wal")
                               ? std::filesystem::file_size(path + "-wal")
                               : 0)) /
      (1024.0 * 1024.0);
}

// Opening alone: closing, which folds the journal into the file, is left
// out, as it comes when the program ends.
void BM_HistoryOpen(benchmark::State& state) {
  const auto shape = static_cast<std::size_t>(state.range(0));
  const std::string& path = FullFile(shape);
  for (auto _ : state) {
    auto store = OpenSqliteHistoryStore(path);
    state.PauseTiming();
    if (!store->Problem().empty()) state.SkipWithError(store->Problem().c_str());
    store.reset();
    state.ResumeTiming();
  }
  Describe(state, shape);
}
BENCHMARK(BM_HistoryOpen)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// The part of opening that reads every page: the check for damage.
void BM_HistoryQuickCheck(benchmark::State& state) {
  const auto shape = static_cast<std::size_t>(state.range(0));
  SQLite::Database db(FullFile(shape), SQLite::OPEN_READONLY);
  for (auto _ : state) benchmark::DoNotOptimize(db.execAndGet("PRAGMA quick_check").getString());
  Describe(state, shape);
}
BENCHMARK(BM_HistoryQuickCheck)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// What the History window reads for its first page.
void BM_HistoryFirstPage(benchmark::State& state) {
  const auto shape = static_cast<std::size_t>(state.range(0));
  auto store = OpenSqliteHistoryStore(FullFile(shape));
  for (auto _ : state) benchmark::DoNotOptimize(store->Runs(0, 50, 20));
  Describe(state, shape);
}
BENCHMARK(BM_HistoryFirstPage)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// The last page, which SQLite reaches by stepping over every newer run.
void BM_HistoryLastPage(benchmark::State& state) {
  const auto shape = static_cast<std::size_t>(state.range(0));
  auto store = OpenSqliteHistoryStore(FullFile(shape));
  const std::int64_t last = kShapes[shape].runs - 50;
  for (auto _ : state) benchmark::DoNotOptimize(store->Runs(last, 50, 20));
  Describe(state, shape);
}
BENCHMARK(BM_HistoryLastPage)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// What Save As reads: every run, whole.
void BM_HistoryForEachRun(benchmark::State& state) {
  const auto shape = static_cast<std::size_t>(state.range(0));
  auto store = OpenSqliteHistoryStore(FullFile(shape));
  std::int64_t values = 0;
  for (auto _ : state) {
    values = 0;
    store->ForEachRun([&](const StoredRun& run) { values += run.valueCount; });
  }
  state.counters["values"] = static_cast<double>(values);
  Describe(state, shape);
}
BENCHMARK(BM_HistoryForEachRun)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// A run of 20 values into a full file: one comes in, the oldest goes. Last
// of the timings, as it changes the file.
void BM_HistoryRecordWhenFull(benchmark::State& state) {
  const auto shape = static_cast<std::size_t>(state.range(0));
  auto store = OpenSqliteHistoryStore(FullFile(shape));
  std::mt19937 random(7);
  const StoredRun run = MakeRun(random, 20);
  for (auto _ : state) benchmark::DoNotOptimize(store->Record(run, {1, 20, 0}, kLimits));
  if (!store->Problem().empty()) state.SkipWithError(store->Problem().c_str());
  Describe(state, shape);
}
BENCHMARK(BM_HistoryRecordWhenFull)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// A batch of the Dice window into the full file of short runs: its row and
// its totals counted under their expression, in one transaction. 1000×2d6
// has 11 totals; a batch of 100,000 rolls of a wide expression up to
// 100,000 different ones.
void BM_HistoryRecordRoll(benchmark::State& state) {
  auto store = OpenSqliteHistoryStore(FullFile(0));
  StoredRun roll;
  roll.expression = "wide";
  roll.times = 100'000;
  roll.valueCount = 100'000;
  roll.results = "7, 4, 12, 9, 6, 8, 7, 7, 5, 10, 3, 8, 6, 11, 7, 9, 4, 6, 8, 2, and 99,980 more";
  StoredTotals totals{"wide", 0, {}};
  for (std::int64_t total = 0; total < state.range(0); ++total) totals.counts[total * 1'000'003] = 1;
  for (auto _ : state) benchmark::DoNotOptimize(store->RecordRoll(roll, totals, kLimits));
  if (!store->Problem().empty()) state.SkipWithError(store->Problem().c_str());
  state.SetLabel(std::to_string(state.range(0)) + " totals");
}
BENCHMARK(BM_HistoryRecordRoll)->Arg(11)->Arg(100'000)->Unit(benchmark::kMillisecond);

// The memory of a fresh process (this program again, see main) that opens
// the full file, records a run, reads the first page and every run, against
// the same process that opens nothing.
double RssOfFreshProcess(const std::string& path) {
  const std::string command =
      std::filesystem::read_symlink("/proc/self/exe").string() + " --rss-of='" + path + "'";
  FILE* child = popen(command.c_str(), "r");
  double rss = 0;
  if (child != nullptr && std::fscanf(child, "%lf", &rss) != 1) rss = 0;
  if (child != nullptr) pclose(child);
  return rss;
}

void BM_HistoryProcessMemory(benchmark::State& state) {
  const auto shape = static_cast<std::size_t>(state.range(0));
  double with = 0;
  double without = 0;
  for (auto _ : state) {
    with = RssOfFreshProcess(FullFile(shape));
    without = RssOfFreshProcess("");
  }
  state.counters["rss_MiB"] = with;
  state.counters["rss_without_store_MiB"] = without;
  Describe(state, shape);
}
BENCHMARK(BM_HistoryProcessMemory)->DenseRange(0, 2)->Iterations(1)->Unit(benchmark::kMillisecond);

int MeasureRss(const std::string& path) {
  if (!path.empty()) {
    auto store = OpenSqliteHistoryStore(path);
    std::mt19937 random(9);
    (void)store->Record(MakeRun(random, 20), {1, 20, 0}, kLimits);
    benchmark::DoNotOptimize(store->Runs(0, 50, 20));
    store->ForEachRun([](const StoredRun& run) {
      // A copy: newer Google Benchmarks deprecate the const overload.
      std::int64_t sum = run.sum;
      benchmark::DoNotOptimize(sum);
    });
    std::printf("%.2f\n", RssMiB());
    return store->Problem().empty() ? 0 : 1;
  }
  std::printf("%.2f\n", RssMiB());
  return 0;
}

}  // namespace
}  // namespace tambrel

int main(int argc, char** argv) {
  const std::string rssOf = "--rss-of=";
  if (argc == 2 && std::string(argv[1]).rfind(rssOf, 0) == 0) {
    return tambrel::MeasureRss(std::string(argv[1]).substr(rssOf.size()));
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
