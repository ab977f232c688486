#include "roll/draw.h"

#include <algorithm>

namespace tambrel {

std::int16_t DrawRoll(std::int16_t n, Services& services) {
  services.Randomize();
  // Both ends lie within -32768..1, so the result fits 16 bits.
  const std::int32_t lo = std::min<std::int32_t>(n, 1);
  const std::int32_t hi = std::max<std::int32_t>(n, 1);
  return static_cast<std::int16_t>(services.Random().Between(lo, hi));
}

}  // namespace tambrel
