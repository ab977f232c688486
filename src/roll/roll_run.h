#pragma once

#include <string_view>

#include "roll/form_fields.h"
#include "roll/result_grid.h"
#include "roll/tally.h"
#include "runtime/services.h"

namespace tambrel {

inline constexpr std::string_view kInvalidNumberPrompt = "Enter a valid number";
inline constexpr std::string_view kInvalidTimesPrompt = "Enter a valid amount of times";
inline constexpr std::string_view kGridFullPrompt =
    "You have exceeded the size of this box\r\n"
    "You can increase the size of the form and try again";

// What "Generate Number" does: replaces the grid with as many fresh draws as
// the times box asks for, each between 1 and the number in the number box.
class RollRun {
 public:
  // Every value the run places on the grid is counted in the tally, when
  // there is one.
  RollRun(GridFields& fields, ResultGrid& grid, FormFields& form, Services& services,
          Tally* tally = nullptr)
      : fields_(fields), grid_(grid), form_(form), services_(services), tally_(tally) {}

  void Generate();

 private:
  void ReportInvalidNumber();

  GridFields& fields_;
  ResultGrid& grid_;
  FormFields& form_;
  Services& services_;
  Tally* tally_;
};

}  // namespace tambrel
