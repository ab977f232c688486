#include "runtime/conversions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace tambrel {
namespace {

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

template <typename Int>
std::optional<Int> RoundTo(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  // nearbyint rounds in the default mode, to nearest with ties to even.
  const double rounded = std::nearbyint(value);
  if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
      rounded > static_cast<double>(std::numeric_limits<Int>::max())) {
    return std::nullopt;
  }
  return static_cast<Int>(rounded);
}

}  // namespace

std::optional<std::int16_t> TextToInt16(std::string_view text) {
  std::size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  if (pos == text.size()) return std::nullopt;
  // Accumulate in a wider type and stop as soon as the value leaves the
  // range, so a long run of digits cannot overflow the accumulator.
  std::int32_t magnitude = 0;
  for (; pos < text.size(); ++pos) {
    if (!IsDigit(text[pos])) return std::nullopt;
    magnitude = magnitude * 10 + (text[pos] - '0');
    if (magnitude > 32768) return std::nullopt;
  }
  const std::int32_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int16_t>::max()) return std::nullopt;
  return static_cast<std::int16_t>(value);
}

std::optional<std::int16_t> RoundToInt16(double value) { return RoundTo<std::int16_t>(value); }

std::optional<std::int32_t> RoundToInt32(double value) { return RoundTo<std::int32_t>(value); }

double TextToDouble(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  const std::size_t start = pos;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
  const std::size_t digitsStart = pos;
  // The power of ten of the first significant digit: a value out of range is
  // too large or too small by where that digit stands, which the exponent's
  // sign alone does not tell ("0.000...1" is tiny, "999...9e-1" huge).
  std::int64_t scale = 0;
  bool significant = false;
  for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
    if (significant) {
      ++scale;
    } else {
      significant = text[pos] != '0';
    }
  }
  std::size_t digits = pos - digitsStart;
  if (pos < text.size() && text[pos] == '.') {
    const std::size_t fractionStart = ++pos;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
      if (!significant) {
        --scale;
        significant = text[pos] != '0';
      }
    }
    digits += pos - fractionStart;
  }
  if (digits == 0) return 0.0;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    std::size_t exponent = pos + 1;
    bool negativeExponent = false;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) {
      negativeExponent = text[exponent] == '-';
      ++exponent;
    }
    if (exponent < text.size() && IsDigit(text[exponent])) {
      // Held far beyond any double's range, never overflowing.
      std::int64_t power = 0;
      for (pos = exponent; pos < text.size() && IsDigit(text[pos]); ++pos) {
        power = std::min<std::int64_t>(power * 10 + (text[pos] - '0'), 1'000'000'000);
      }
      scale += negativeExponent ? -power : power;
    }
  }
  // from_chars takes no leading '+'.
  const std::size_t first = text[start] == '+' ? start + 1 : start;
  const bool negative = text[first] == '-';
  double value = 0.0;
  const auto result = std::from_chars(text.data() + first, text.data() + pos, value);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large saturates to infinity, too small vanishes to zero.
    const double magnitude =
        significant && scale > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -magnitude : magnitude;
  }
  return value;
}

std::string IntToText(std::int64_t value) { return std::to_string(value); }

}  // namespace tambrel
