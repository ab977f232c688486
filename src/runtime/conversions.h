#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tambrel {

// Text to a 16-bit integer: an optional sign followed by one or more ASCII
// digits, nothing else (no blanks, no fraction, no exponent), within
// -32768..32767. Anything else is refused rather than guessed at.
[[nodiscard]] std::optional<std::int16_t> TextToInt16(std::string_view text);

// Floating to integer, rounding to nearest with ties to even. NaN, infinity
// and values outside the target range are refused.
[[nodiscard]] std::optional<std::int16_t> RoundToInt16(double value);
[[nodiscard]] std::optional<std::int32_t> RoundToInt32(double value);

// The leading decimal number of the text (leading blanks skipped, optional
// sign, digits, optional fraction and exponent); 0 when there is none.
[[nodiscard]] double TextToDouble(std::string_view text);

// Decimal digits, "-" for a negative value, no leading blank.
[[nodiscard]] std::string IntToText(std::int64_t value);

}  // namespace tambrel
