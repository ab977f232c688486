#pragma once

#include <array>
#include <string_view>

namespace tambrel {

// What each die-size button writes into the number box, by element index.
// Kept apart from the captions, which only happen to show the same values.
inline constexpr std::array<std::string_view, 7> kDieSizes = {"4", "6", "8", "10", "12", "20", "100"};

}  // namespace tambrel
