#include "runtime/random_generator.h"

#include <bit>
#include <random>

namespace tambrel {
namespace {

// SplitMix64 spreads one 64-bit value over the whole state; its outputs are
// never all zero for four consecutive calls, which xoshiro requires.
std::uint64_t SplitMix64(std::uint64_t& x) {
  std::uint64_t z = (x += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

}  // namespace

RandomGenerator::RandomGenerator(std::uint64_t seed) {
  for (auto& word : state_) word = SplitMix64(seed);
}

RandomGenerator RandomGenerator::FromEntropy() {
  std::random_device device;  // getrandom(2) on Linux
  RandomGenerator generator(0);
  for (auto& word : generator.state_) {
    word = (static_cast<std::uint64_t>(device()) << 32) | device();
  }
  if (generator.state_ == std::array<std::uint64_t, 4>{}) generator.state_[0] = 1;
  return generator;
}

void RandomGenerator::MixTimer(std::uint64_t ticks) {
  std::uint64_t spread = ticks;
  state_[0] ^= SplitMix64(spread);
  // The all-zero state is the generator's one fixed point.
  if (state_ == std::array<std::uint64_t, 4>{}) state_[0] = 1;
  Next();
}

std::uint64_t RandomGenerator::Next() {
  const std::uint64_t result = std::rotl(state_[1] * 5, 7) * 9;
  const std::uint64_t t = state_[1] << 17;
  state_[2] ^= state_[0];
  state_[3] ^= state_[1];
  state_[1] ^= state_[2];
  state_[0] ^= state_[3];
  state_[2] ^= t;
  state_[3] = std::rotl(state_[3], 45);
  return result;
}

float RandomGenerator::NextSingle() {
  return static_cast<float>(Next() >> 40) * 0x1.0p-24f;
}

std::int32_t RandomGenerator::Between(std::int32_t lo, std::int32_t hi) {
  // At most 2^32 values, so a 32-bit draw times the range fits 64 bits.
  const auto range = static_cast<std::uint64_t>(static_cast<std::int64_t>(hi) - lo) + 1;
  constexpr std::uint64_t kTwoTo32 = std::uint64_t{1} << 32;
  std::uint64_t product = (Next() >> 32) * range;
  if ((product & (kTwoTo32 - 1)) < range) {
    // Reject the few low words that would favour some results.
    const std::uint64_t threshold = (kTwoTo32 - range) % range;
    while ((product & (kTwoTo32 - 1)) < threshold) product = (Next() >> 32) * range;
  }
  return static_cast<std::int32_t>(lo + static_cast<std::int64_t>(product >> 32));
}

}  // namespace tambrel
