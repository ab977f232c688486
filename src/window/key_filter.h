#pragma once

namespace tambrel {

struct KeyVerdict {
  int keyCode;  // the code to deliver; 0 discards the character
  bool beep;
};

// The number boxes take digits only. Control codes below 31 (backspace,
// Enter, the copy, cut and paste keys) pass untouched; every other typed
// character is discarded with a beep.
[[nodiscard]] constexpr KeyVerdict FilterKey(int keyCode) {
  if (keyCode < 31) return {keyCode, false};
  if (keyCode >= '0' && keyCode <= '9') return {keyCode, false};
  return {0, true};
}

}  // namespace tambrel
