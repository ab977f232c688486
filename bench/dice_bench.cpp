// The dice engine: parse and roll of a typed expression (with its copied
// text), its exact odds, and a batch of rolls. No Qt.
#include <benchmark/benchmark.h>

#include <variant>

#include "roll/dice/breakdown.h"
#include "roll/dice/odds.h"

namespace tambrel::dice {
namespace {

const char* const kRolled[] = {"4d6kh3", "8d6+5", "6x4d6kh3"};
const char* const kOdds[] = {"2d6+3",   "4d6kh3", "2d20kh1", "3d6!",    "6d10>=8",
                             "10d10kh3", "100d6", "20d20kl5", "1000d6"};

// From the typed text to the copied line, as the window does for a roll.
void BM_DiceParseAndRoll(benchmark::State& state) {
  const char* text = kRolled[state.range(0)];
  state.SetLabel(text);
  RandomGenerator generator(20261207);
  for (auto _ : state) {
    const auto parsed = Parse(text);
    const auto rolled = RollExpression(std::get<Expression>(parsed), generator);
    benchmark::DoNotOptimize(CopyText(std::get<RollResult>(rolled)));
  }
}
BENCHMARK(BM_DiceParseAndRoll)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

void BM_DiceOdds(benchmark::State& state) {
  const char* text = kOdds[state.range(0)];
  state.SetLabel(text);
  const Expression expression = std::get<Expression>(Parse(text));
  std::size_t totals = 0;
  for (auto _ : state) {
    const std::optional<Odds> odds = ExactOdds(expression);
    totals = odds->totals.size();
    benchmark::DoNotOptimize(totals);
  }
  state.counters["totals"] = static_cast<double>(totals);
}
BENCHMARK(BM_DiceOdds)->DenseRange(0, 8)->Unit(benchmark::kMillisecond);

// 100,000 rolls of 2d6 counted by total.
void BM_DiceRollMany(benchmark::State& state) {
  const Expression expression = std::get<Expression>(Parse("2d6"));
  RandomGenerator generator(20261207);
  for (auto _ : state) {
    const auto batch = RollMany(expression, generator, 100000);
    benchmark::DoNotOptimize(std::get<Batch>(batch).counts.size());
  }
}
BENCHMARK(BM_DiceRollMany)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tambrel::dice
BENCHMARK_MAIN();
