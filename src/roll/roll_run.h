#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

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

// What a run placed on the grid, in grid order, and the number of sides it
// read for them.
struct PlacedRun {
  std::int16_t sides = 0;
  std::vector<std::int16_t> values;
};

// Told of every run that placed values, once it has placed its last and
// before any message it ends with: what the grid shows is kept before the
// user can see it.
class RunRecorder {
 public:
  virtual ~RunRecorder() = default;
  virtual void RunPlaced(const PlacedRun& run) = 0;
};

// What "Generate Number" does: replaces the grid with as many fresh draws as
// the times box asks for, each between 1 and the number in the number box.
class RollRun {
 public:
  // Every value the run places on the grid is counted in the tally, and
  // the run told to the recorder, when there are ones.
  RollRun(GridFields& fields, ResultGrid& grid, FormFields& form, Services& services,
          Tally* tally = nullptr, RunRecorder* recorder = nullptr)
      : fields_(fields),
        grid_(grid),
        form_(form),
        services_(services),
        tally_(tally),
        recorder_(recorder) {}

  void Generate();

 private:
  void ReportInvalidNumber();
  void Placed();

  GridFields& fields_;
  ResultGrid& grid_;
  FormFields& form_;
  Services& services_;
  Tally* tally_;
  RunRecorder* recorder_;
  // The values this run has placed so far.
  PlacedRun last_;
};

}  // namespace tambrel
