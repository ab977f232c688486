#pragma once

#include <cstdint>

#include "runtime/services.h"

namespace tambrel {

// One fair draw: every whole number from 1 to n equally likely (from n to 1
// when n is negative). The timer is mixed into the generator first.
[[nodiscard]] std::int16_t DrawRoll(std::int16_t n, Services& services);

}  // namespace tambrel
