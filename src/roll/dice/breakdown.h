#pragma once

// What a roll reads as: the copied text and what a screen reader hears.

#include <string>

#include "roll/dice/roller.h"

namespace tambrel::dice {

// The expression with each dice term replaced by its dice in brackets,
// operators spaced, numbers and parentheses as written:
// "-[3] + ([2, 4] * 3)". A die left out is in parentheses "(2)"; a first
// roll rolled again stands in parentheses before the new one "(1) 4"; an
// exploding roll is followed by "!" ("6!, 2"); a die that succeeds, by "*"
// after its last roll.
[[nodiscard]] std::string BreakdownText(const Expression& expression, const Roll& roll);

// `EXPRESSION: BREAKDOWN = TOTAL`, one line per total, joined by '\n'
// without a final one: "4d6kh3: [6, 5, 3, (2)] = 14". EXPRESSION is the
// repeated part (RolledText()).
[[nodiscard]] std::string CopyText(const RollResult& result);

// What a screen reader says: "4d6kh3: 14. 6, 5, 3, 2 dropped". The marks
// are words ("dropped", "exploded", "rerolled", "counts"), brackets are
// left out, and each repeat is a sentence of its own.
[[nodiscard]] std::string SpokenText(const RollResult& result);

}  // namespace tambrel::dice
