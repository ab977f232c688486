// libFuzzer target: the dice notation, a roll and the exact odds of any
// text, with every limit in force. What comes back must hold together: an
// error's column lies within the text, the parsed form parses to itself,
// a roll's totals lie within the expression's range and each has a chance
// in its odds, and the odds sum to 1.
//
// Built twice: with the sanitizers (dice_fuzzer), which check memory and
// arithmetic and make the odds' loops some forty times slower; and
// without them, optimised as the program is (dice_timing_fuzzer, with
// TAMBREL_FUZZ_TIMING), where every input must come back with a result or
// an error within 100 ms of processor time.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>
#include <variant>

#include "roll/dice/breakdown.h"
#include "roll/dice/odds.h"

namespace {

using namespace tambrel::dice;

#ifdef TAMBREL_FUZZ_TIMING
constexpr double kMostMilliseconds = 100;
#endif
double slowest = 0;

[[noreturn]] void Fail(const char* what, std::string_view text) {
  std::fprintf(stderr, "dice_fuzzer: %s for \"%.*s\"\n", what, static_cast<int>(text.size()), text.data());
  std::abort();
}

double CpuMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

std::int32_t Characters(std::string_view text) {
  std::int32_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

void Check(std::string_view text) {
  const auto parsed = Parse(text);
  if (const auto* error = std::get_if<DiceError>(&parsed)) {
    const std::string end = " at column " + std::to_string(error->column) + ".";
    if (error->column < 1 || error->column > Characters(text) + 1) Fail("column outside the text", text);
    if (error->message.size() <= end.size() || !error->message.ends_with(end)) Fail("message without its column", text);
    return;
  }
  const Expression& expression = std::get<Expression>(parsed);
  const auto again = Parse(expression.Text());
  if (!std::holds_alternative<Expression>(again) || std::get<Expression>(again).Text() != expression.Text()) {
    Fail("the parsed form does not parse to itself", text);
  }

  tambrel::RandomGenerator generator(std::hash<std::string_view>{}(text));
  const auto rolled = RollExpression(expression, generator);
  const RollResult* result = std::get_if<RollResult>(&rolled);
  if (result != nullptr) {
    if (static_cast<std::int32_t>(result->rolls.size()) != expression.Repeats()) Fail("repeats lost", text);
    for (const Roll& roll : result->rolls) {
      if (roll.total < expression.Root().lowest || roll.total > expression.Root().highest) Fail("total out of range", text);
    }
    if (CopyText(*result).empty() || SpokenText(*result).empty()) Fail("no text for a roll", text);
  }

  const std::optional<Odds> odds = ExactOdds(expression);
  if (!odds) return;
  double sum = 0;
  for (const Chance& row : odds->totals) sum += row.chance;
  if (std::fabs(sum - 1) > 1e-9) Fail("odds do not sum to 1", text);
  for (const Roll& roll : result != nullptr ? result->rolls : std::vector<Roll>{}) {
    const bool beyond = odds->truncated && roll.total > odds->totals.back().total;
    if (odds->Find(roll.total) == nullptr && !beyond) Fail("a rolled total has no chance in the odds", text);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const double start = CpuMilliseconds();
  Check(text);
  const double took = CpuMilliseconds() - start;
  if (took > slowest) {
    slowest = took;
    std::string shown;
    for (const char c : text) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, c >= ' ' && c <= '~' ? "%c" : "\\x%02X", static_cast<unsigned char>(c));
      shown += escaped;
    }
    std::fprintf(stderr, "dice_fuzzer: slowest input so far %.3f ms (%zu bytes): %s\n", took, size, shown.c_str());
  }
#ifdef TAMBREL_FUZZ_TIMING
  if (took > kMostMilliseconds) Fail("took longer than 100 ms", text);
#endif
  return 0;
}
