#include "roll/roll_run.h"

#include "roll/draw.h"
#include "runtime/checked.h"
#include "runtime/conversions.h"

namespace tambrel {

void RollRun::Generate() {
  last_.values.clear();
  // The count is checked before clearing, so a mistyped count keeps the
  // values already shown.
  const auto times = TextToInt16(form_.TimesText());
  if (!times) {
    services_.MsgBox(kInvalidTimesPrompt, MsgStyle::Information, kAppTitle);
    form_.FocusTimes();
    return;
  }

  grid_.ClearResults();
  // A 32-bit pass counter, so a count of 32767 ends normally.
  for (std::int32_t pass = 1; pass <= *times; ++pass) {
    // Read afresh on every pass.
    const auto n = TextToInt16(form_.NumberText());
    if (!n || *n == 0) {
      // The box now holds a blank that no later pass could read, so the run
      // ends here instead of repeating the message.
      Placed();
      ReportInvalidNumber();
      return;
    }
    const std::int16_t value = DrawRoll(*n, services_);
    if (!grid_.PlaceResult(value)) {
      Placed();
      services_.MsgBox(kGridFullPrompt, MsgStyle::Information, form_.Caption());
      return;
    }
    if (tally_ != nullptr) tally_->Add(RangeOfSides(*n), value);
    last_.sides = *n;
    last_.values.push_back(value);
    // PlaceResult refuses the last index, so this step always fits.
    fields_.intNextLabel = CheckedAdd<std::int16_t>(fields_.intNextLabel, 1).value_or(fields_.intNextLabel);
  }
  Placed();
}

void RollRun::Placed() {
  if (recorder_ != nullptr && !last_.values.empty()) recorder_->RunPlaced(last_);
}

void RollRun::ReportInvalidNumber() {
  services_.MsgBox(kInvalidNumberPrompt, MsgStyle::Information, kAppTitle);
  form_.SetNumberText(" ");
  form_.FocusNumber();
}

}  // namespace tambrel
