#include "roll/draw.h"

#include "roll/tally.h"

namespace tambrel {

std::int16_t DrawRoll(std::int16_t n, Services& services) {
  services.Randomize();
  // Both ends lie within -32768..32767, so the result fits 16 bits.
  const ValueRange range = RangeOfSides(n);
  return static_cast<std::int16_t>(services.Random().Between(range.lowest, range.highest));
}

}  // namespace tambrel
