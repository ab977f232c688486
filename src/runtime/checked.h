#pragma once

#include <concepts>
#include <optional>

namespace tambrel {

// Counter arithmetic never wraps: a result outside the type's range is
// reported to the caller as an empty optional.
template <std::integral T>
[[nodiscard]] constexpr std::optional<T> CheckedAdd(T a, T b) {
  T result{};
  if (__builtin_add_overflow(a, b, &result)) return std::nullopt;
  return result;
}

template <std::integral T>
[[nodiscard]] constexpr std::optional<T> CheckedSub(T a, T b) {
  T result{};
  if (__builtin_sub_overflow(a, b, &result)) return std::nullopt;
  return result;
}

template <std::integral T>
[[nodiscard]] constexpr std::optional<T> CheckedMul(T a, T b) {
  T result{};
  if (__builtin_mul_overflow(a, b, &result)) return std::nullopt;
  return result;
}

}  // namespace tambrel
