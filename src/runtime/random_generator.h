#pragma once

#include <array>
#include <cstdint>

namespace tambrel {

// xoshiro256** (Blackman and Vigna): small, fast and statistically strong.
// Seeded once, from the operating system's entropy in the program and from a
// fixed number in tests; the timer is only ever mixed into a running state.
class RandomGenerator {
 public:
  explicit RandomGenerator(std::uint64_t seed);
  static RandomGenerator FromEntropy();

  // Folds a timer reading into the state and steps past it, so two draws
  // never repeat each other even when the timer has not moved between them.
  void MixTimer(std::uint64_t ticks);

  std::uint64_t Next();

  // Single precision, 0 <= x < 1: the top 24 bits, exactly representable.
  float NextSingle();

  // Every whole number from lo to hi (inclusive, lo <= hi) equally likely:
  // Lemire's multiply-and-reject on 32-bit draws, no modulo or rounding bias.
  std::int32_t Between(std::int32_t lo, std::int32_t hi);

 private:
  std::array<std::uint64_t, 4> state_{};
};

}  // namespace tambrel
