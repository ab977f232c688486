#pragma once

#include <string>

#include "roll/form_fields.h"

namespace tambrel::testing {

enum class Focus { None, Number, Times };

// The two boxes and the caption of the window, without a window.
class FakeForm final : public FormFields {
 public:
  FakeForm(std::string number, std::string times)
      : number_text(std::move(number)), times_text(std::move(times)) {}

  std::string NumberText() const override {
    ++number_reads;
    return number_text;
  }
  void SetNumberText(std::string_view text) override { number_text = text; }
  void FocusNumber() override { focus = Focus::Number; }
  std::string TimesText() const override { return times_text; }
  void FocusTimes() override { focus = Focus::Times; }
  std::string Caption() const override { return caption; }

  std::string number_text;
  std::string times_text;
  std::string caption = "Tambrel Generation";
  Focus focus = Focus::None;
  mutable int number_reads = 0;
};

}  // namespace tambrel::testing
