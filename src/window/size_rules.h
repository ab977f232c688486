#pragma once

#include <optional>

namespace tambrel {

enum class WindowState { Normal = 0, Minimized = 1, Maximized = 2 };

// Sizes in twips as the window reports them on a Resize.
struct WindowSize {
  WindowState state = WindowState::Normal;
  float outerWidth = 0;   // with the frame and title bar
  float outerHeight = 0;
  float scaleWidth = 0;   // client area
  float scaleHeight = 0;
};

inline constexpr float kRightMargin = 1000;
inline constexpr float kBottomMargin = 500;
inline constexpr float kFixedOuterWidth = 5400;
inline constexpr float kMinOuterHeight = 4000;

struct ResizeDecision {
  float rightLimit = 0;
  float bottomLimit = 0;
  // The outer size to write, when the normal-state rules want a change.
  std::optional<float> newOuterWidth;
  std::optional<float> newOuterHeight;
};

// The display limits for the current client area and, in the normal state,
// the fixed width and the minimum height.
[[nodiscard]] ResizeDecision DecideResize(const WindowSize& size);

}  // namespace tambrel
