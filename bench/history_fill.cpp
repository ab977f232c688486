// Makes a history file for the start-up and memory measurements:
//
//   tambrel_history_fill PATH empty|runs|values
//
// and prints how many runs and values it holds, its size and how long the
// recording took (every run is its own transaction, as in the program).
//
//   tambrel_history_fill PATH open
//
// opens the file there as the program does, bringing one of an older
// version up to date (bench/history_migration.sh), and prints its runs,
// its size before and after, and how long the opening took.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "history_fill.h"

namespace {

int OpenInPlace(const char* path) {
  std::error_code error;
  const auto before = std::filesystem::file_size(path, error);
  if (error) {
    std::fprintf(stderr, "tambrel_history_fill: %s: %s\n", path, error.message().c_str());
    return 1;
  }
  const auto start = std::chrono::steady_clock::now();
  std::unique_ptr<tambrel::HistoryStore> store = tambrel::OpenSqliteHistoryStore(path);
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  if (!store || !store->Problem().empty()) {
    std::fprintf(stderr, "tambrel_history_fill: %s\n", store ? store->Problem().c_str() : "out of memory");
    return 1;
  }
  const long long runs = store->RunCount();
  store.reset();  // its log folded into the file
  const auto after = std::filesystem::file_size(path, error);
  std::printf("runs=%lld bytes_before=%llu bytes_after=%llu ms=%.1f\n", runs,
              static_cast<unsigned long long>(before), static_cast<unsigned long long>(error ? 0 : after),
              took.count());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  using tambrel::HistoryFill;
  if (argc != 3) {
    std::fputs("usage: tambrel_history_fill PATH empty|runs|values|open\n", stderr);
    return 2;
  }
  if (std::strcmp(argv[2], "open") == 0) return OpenInPlace(argv[1]);
  HistoryFill fill = HistoryFill::kEmpty;
  if (std::strcmp(argv[2], "runs") == 0) {
    fill = HistoryFill::kRuns;
  } else if (std::strcmp(argv[2], "values") == 0) {
    fill = HistoryFill::kValues;
  } else if (std::strcmp(argv[2], "empty") != 0) {
    std::fprintf(stderr, "tambrel_history_fill: unknown fill %s\n", argv[2]);
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  std::string problem;
  const tambrel::FillCount made = tambrel::FillHistoryFile(argv[1], fill, problem);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  if (!problem.empty()) {
    std::fprintf(stderr, "tambrel_history_fill: %s\n", problem.c_str());
    return 1;
  }
  std::error_code error;
  const auto bytes = std::filesystem::file_size(argv[1], error);
  std::printf("runs=%lld values=%lld bytes=%llu seconds=%.1f\n",
              static_cast<long long>(made.runs), static_cast<long long>(made.values),
              static_cast<unsigned long long>(error ? 0 : bytes), took.count());
  return 0;
}
