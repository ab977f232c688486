#pragma once

// Names for the cases of a parameterised test, as gtest takes them (letters,
// digits and underscores), so that a test list reads what a case is about
// rather than its index or the bytes of its parameter.

#include <cstdio>
#include <string>
#include <string_view>

namespace tambrel::testing {

inline bool Alphanumeric(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Words as they stand, anything between them one underscore:
// "slash, below 0" -> "slash_below_0".
inline std::string WordsName(std::string_view words) {
  std::string name;
  for (const char c : words) {
    if (Alphanumeric(c)) {
      name += c;
    } else if (!name.empty() && name.back() != '_') {
      name += '_';
    }
  }
  while (!name.empty() && name.back() == '_') name.pop_back();
  return name;
}

// Text as typed, each other character spelled out, so that texts which differ
// only in their signs or spaces keep different names:
// "" -> "empty", "-1.5" -> "minus_1_point_5", "  12" -> "space_space_12".
inline std::string TextName(std::string_view text) {
  if (text.empty()) return "empty";
  std::string name;
  bool spelled = false;  // the last thing named was a spelled-out character
  for (const char c : text) {
    if (Alphanumeric(c)) {
      if (spelled) name += '_';
      name += c;
      spelled = false;
      continue;
    }
    if (!name.empty()) name += '_';
    switch (c) {
      case ' ': name += "space"; break;
      case '-': name += "minus"; break;
      case '+': name += "plus"; break;
      case '.': name += "point"; break;
      default: {
        char hex[4];
        std::snprintf(hex, sizeof hex, "x%02X", static_cast<unsigned char>(c));
        name += hex;
      }
    }
    spelled = true;
  }
  return name;
}

}  // namespace tambrel::testing
