#pragma once

// The odds of one dice term ("4d6kh3", "6d10>=8", "3d6!"): of a lone die,
// then of the term's dice together. Not for use outside src/roll/dice/.

#include <cstdint>
#include <stop_token>
#include <utility>
#include <vector>

#include "roll/dice/expression.h"
#include "roll/dice/odds_lattice.h"

namespace tambrel::dice::odds {

// The values one die can show: its faces, and with explosions a run of
// values per explosion, followed until what is left of the whole term is
// below kExplosionCutOff (`truncated` then says some was left out).
// Worked out without the chances, for the estimate.
struct DieReach {
  std::vector<std::pair<std::int64_t, std::int64_t>> runs;   // first and last value of each
  Shape shape;
  std::int64_t values = 0;    // how many there are
  bool truncated = false;
};
[[nodiscard]] DieReach ReachOf(const DiceTerm& term);

// One die's value: every face, a reroll once, the explosions of ReachOf.
[[nodiscard]] Lattice DieOdds(const DiceTerm& term, const DieReach& reach);

// The term's totals, and what working them out costs.
[[nodiscard]] Shape TermShape(const DiceTerm& term, const DieReach& die, Cost& cost);
[[nodiscard]] Lattice TermOdds(const DiceTerm& term, const DieReach& reach, const std::stop_token& stop);

}  // namespace tambrel::dice::odds
