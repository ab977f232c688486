#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/random_generator.h"

namespace tambrel {

// The fixed short title of the program, used on most message boxes.
inline constexpr std::string_view kAppTitle = "Tambrel1";

enum class MsgStyle : std::int16_t {
  OkOnly = 0,
  Information = 64,  // OK with the information icon
};

// What the window and the roll engine take from the outside world. The
// program runs on the Qt implementation; tests hand in one that records
// every call and answers every message box at once.
class Services {
 public:
  virtual ~Services() = default;

  // Modal; returns when the user has dismissed the box.
  virtual void MsgBox(std::string_view prompt, MsgStyle style, std::string_view title) = 0;
  // Modal, with Yes and No, No the default; true for Yes.
  virtual bool AskYesNo(std::string_view prompt, std::string_view title) = 0;
  // Modal, a line of text to type, starting as `text`, with OK and Cancel;
  // nothing for Cancel.
  virtual std::optional<std::string> AskText(std::string_view prompt, std::string_view title,
                                             std::string_view text) = 0;
  virtual void Beep() = 0;

  // Mixes the system timer into the generator before a draw.
  virtual void Randomize() = 0;
  virtual RandomGenerator& Random() = 0;
};

}  // namespace tambrel
