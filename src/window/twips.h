#pragma once

#include <QRect>
#include <QRectF>
#include <cmath>

namespace tambrel {

// Twips are the program's own unit: 1440 to the inch, 15 to one
// device-independent pixel at 96 dpi.
inline constexpr int kTwipsPerPixel = 15;

[[nodiscard]] constexpr float PixelsToTwips(int pixels) {
  return static_cast<float>(pixels * kTwipsPerPixel);
}

// Whole pixels for a widget geometry; layout twips are multiples of 15.
[[nodiscard]] constexpr int TwipsToPixels(int twips) { return twips / kTwipsPerPixel; }

// Rounded up, so that a minimum size in twips is always met.
[[nodiscard]] inline int TwipsToPixelsAtLeast(float twips) {
  return static_cast<int>(std::ceil(twips / kTwipsPerPixel));
}

[[nodiscard]] constexpr QRect TwipsToPixels(int left, int top, int width, int height) {
  return {TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height)};
}

[[nodiscard]] inline QRectF TwipsToPixelsF(float left, float top, float width, float height) {
  return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
          height / kTwipsPerPixel};
}

}  // namespace tambrel
