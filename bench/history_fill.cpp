// Makes a history file for the start-up and memory measurements:
//
//   tambrel_history_fill PATH empty|runs|values
//
// and prints how many runs and values it holds, its size and how long the
// recording took (every run is its own transaction, as in the program).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "history_fill.h"

int main(int argc, char** argv) {
  using tambrel::HistoryFill;
  if (argc != 3) {
    std::fputs("usage: tambrel_history_fill PATH empty|runs|values\n", stderr);
    return 2;
  }
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
