// libFuzzer target: the text conversions and the key filter, each checked
// against a plain reference written here from the rules alone, so that a
// wrong value fails as surely as a crash.

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/conversions.h"
#include "window/key_filter.h"

namespace {

[[noreturn]] void Fail(const char* what, std::string_view text) {
  std::fprintf(stderr, "conversions_fuzzer: %s for %zu bytes:", what, text.size());
  for (const char c : text) std::fprintf(stderr, " %02x", static_cast<unsigned char>(c));
  std::fprintf(stderr, "\n");
  std::abort();
}

bool Digit(char c) { return c >= '0' && c <= '9'; }

// An optional sign, then one or more ASCII digits and nothing else; the
// value by its digit string, so no arithmetic can overflow on the way.
std::optional<std::int16_t> ReferenceInt16(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  for (const char c : text) {
    if (!Digit(c)) return std::nullopt;
  }
  while (text.size() > 1 && text.front() == '0') text.remove_prefix(1);
  if (text.size() > 5) return std::nullopt;
  long value = std::strtol(std::string(text).c_str(), nullptr, 10);
  if (negative) value = -value;
  if (value < -32768 || value > 32767) return std::nullopt;
  return static_cast<std::int16_t>(value);
}

// The leading decimal number, found by a scan of its own and read by the C
// library (the fuzzer runs in the "C" locale).
void CheckTextToDouble(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  const std::size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < text.size() && Digit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && Digit(text[i])) ++i, ++digits;
  }
  const double got = tambrel::TextToDouble(text);
  if (digits == 0) {
    if (got != 0.0) Fail("TextToDouble of text with no number is not 0", text);
    return;
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && Digit(text[j])) {
      while (j < text.size() && Digit(text[j])) ++j;
      i = j;
    }
  }
  const std::string number(text.substr(start, i - start));
  char* end = nullptr;
  const double expected = std::strtod(number.c_str(), &end);
  if (end != number.c_str() + number.size()) Fail("reference scan disagrees with strtod", text);

  if (std::isnan(got)) Fail("TextToDouble gave NaN", text);
  if (expected != 0.0 && std::fabs(expected) < DBL_MIN) {
    // Subnormal: read exactly or vanished to zero, either is fair.
    if (got != expected && got != 0.0) Fail("TextToDouble of a subnormal", text);
    return;
  }
  if (got != expected) {
    std::fprintf(stderr, "expected %.17g, got %.17g\n", expected, got);
    Fail("TextToDouble differs from the reference", text);
  }
}

// Half to even, by exact comparisons with the midpoint between the two
// whole numbers around the value.
template <typename Int>
std::optional<Int> ReferenceRound(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  double whole = value;
  if (std::fabs(value) < 4503599627370496.0) {  // 2^52: below it a double may have a fraction
    const double below = std::floor(value);
    const double midpoint = below + 0.5;  // exact: below is a whole number under 2^52
    if (value < midpoint) {
      whole = below;
    } else if (value > midpoint) {
      whole = below + 1;
    } else {
      whole = std::fmod(below, 2.0) == 0.0 ? below : below + 1;
    }
  }
  constexpr double kLow = static_cast<double>(INT64_C(-1) << (sizeof(Int) * 8 - 1));
  constexpr double kHigh = -kLow - 1;
  if (whole < kLow || whole > kHigh) return std::nullopt;
  return static_cast<Int>(whole);
}

void CheckRounding(double value, std::string_view input) {
  if (tambrel::RoundToInt16(value) != ReferenceRound<std::int16_t>(value)) {
    std::fprintf(stderr, "value %.17g\n", value);
    Fail("RoundToInt16 differs from the reference", input);
  }
  if (tambrel::RoundToInt32(value) != ReferenceRound<std::int32_t>(value)) {
    std::fprintf(stderr, "value %.17g\n", value);
    Fail("RoundToInt32 differs from the reference", input);
  }
}

// Digits and control codes below 31 pass unchanged without a beep; every
// other code is discarded (0) with one.
void CheckKey(int code, std::string_view input) {
  const tambrel::KeyVerdict verdict = tambrel::FilterKey(code);
  const bool passes = code < 31 || (code >= '0' && code <= '9');
  if (passes ? (verdict.keyCode != code || verdict.beep) : (verdict.keyCode != 0 || !verdict.beep)) {
    std::fprintf(stderr, "key code %d\n", code);
    Fail("FilterKey gave the wrong verdict", input);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const auto int16 = tambrel::TextToInt16(text);
  if (int16 != ReferenceInt16(text)) {
    std::fprintf(stderr, "got %s%d\n", int16 ? "" : "nothing ", int16 ? *int16 : 0);
    Fail("TextToInt16 differs from the reference", text);
  }

  CheckTextToDouble(text);
  CheckRounding(tambrel::TextToDouble(text), text);

  // The raw bytes as doubles, so NaNs, infinities, subnormals and values
  // near the ends of both ranges are rounded too.
  for (std::size_t at = 0; at + sizeof(double) <= size; at += sizeof(double)) {
    double value = 0;
    std::memcpy(&value, data + at, sizeof value);
    CheckRounding(value, text);
  }

  // Every byte as a typed code, and every four bytes as any int a key
  // event might carry.
  for (std::size_t at = 0; at < size; ++at) CheckKey(data[at], text);
  for (std::size_t at = 0; at + sizeof(std::int32_t) <= size; at += sizeof(std::int32_t)) {
    std::int32_t code = 0;
    std::memcpy(&code, data + at, sizeof code);
    CheckKey(code, text);
  }
  return 0;
}
