#pragma once

#include <string>
#include <string_view>

namespace tambrel {

// The parts of the window a roll run reads and writes, so the run can be
// driven without a display.
class FormFields {
 public:
  virtual ~FormFields() = default;

  [[nodiscard]] virtual std::string NumberText() const = 0;  // txtNum
  virtual void SetNumberText(std::string_view text) = 0;
  virtual void FocusNumber() = 0;
  [[nodiscard]] virtual std::string TimesText() const = 0;  // txtRolled
  virtual void FocusTimes() = 0;
  [[nodiscard]] virtual std::string Caption() const = 0;  // the window's caption
};

}  // namespace tambrel
