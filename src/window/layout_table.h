#pragma once

#include <array>
#include <string_view>

namespace tambrel {

enum class ControlKind { CommandButton, Label, TextBox, UpDown, ResultLabel };
enum class ControlFont { Default, TimesBold12, TimesBold11_25 };

// One control of the window as it is laid out at design time. Positions
// and sizes are in twips.
struct ControlLayout {
  std::string_view name;  // the control's name, and its objectName
  int element;            // index in its control array; -1 for a lone control
  ControlKind kind;
  std::string_view caption;  // caption or initial text
  int left;
  int top;
  int width;
  int height;
  int tabIndex;
  ControlFont font;
};

struct LineLayout {
  std::string_view name;
  int x1;
  int y1;
  int x2;
  int y2;
};

inline constexpr int kClientWidth = 5280;
inline constexpr int kClientHeight = 3600;

// The window's controls, in one table, so that the window is built from it
// and the tests check the live widgets against it.
inline constexpr auto kLayout = std::to_array<ControlLayout>({
    {"cmdNum", 0, ControlKind::CommandButton, "4", 600, 300, 495, 495, 4, ControlFont::TimesBold12},
    {"cmdNum", 1, ControlKind::CommandButton, "6", 1200, 300, 495, 495, 5, ControlFont::TimesBold12},
    {"cmdNum", 2, ControlKind::CommandButton, "8", 1800, 300, 495, 495, 6, ControlFont::TimesBold12},
    {"cmdNum", 3, ControlKind::CommandButton, "10", 2400, 300, 495, 495, 7, ControlFont::TimesBold12},
    {"cmdNum", 4, ControlKind::CommandButton, "12", 3000, 300, 495, 495, 8, ControlFont::TimesBold12},
    {"cmdNum", 5, ControlKind::CommandButton, "20", 3600, 300, 495, 495, 9, ControlFont::TimesBold12},
    {"cmdNum", 6, ControlKind::CommandButton, "100", 4200, 300, 495, 495, 17, ControlFont::TimesBold12},
    {"lblRanNum", -1, ControlKind::Label, "Enter a Number to be Randomized:", 540, 1020, 3555, 315, 1,
     ControlFont::TimesBold12},
    {"txtNum", -1, ControlKind::TextBox, "", 4080, 960, 675, 375, 0, ControlFont::TimesBold12},
    {"lblRolled", -1, ControlKind::Label, "Enter Amount of times:", 1620, 1560, 2415, 315, 10,
     ControlFont::TimesBold12},
    {"txtRolled", -1, ControlKind::TextBox, "1", 4080, 1500, 600, 375, 11, ControlFont::TimesBold12},
    {"UpDown1", -1, ControlKind::UpDown, "", 4680, 1500, 195, 375, 14, ControlFont::Default},
    {"cmdGenerate", -1, ControlKind::CommandButton, "Generate Number", 180, 2160, 915, 495, 2,
     ControlFont::Default},
    {"cmdClear", -1, ControlKind::CommandButton, "Clear", 1260, 2160, 915, 495, 15, ControlFont::Default},
    {"cmdSum", -1, ControlKind::CommandButton, "Sum", 2580, 2160, 615, 255, 12, ControlFont::Default},
    {"cmdAvg", -1, ControlKind::CommandButton, "Avg", 3180, 2160, 615, 255, 13, ControlFont::Default},
    {"cmdExit", -1, ControlKind::CommandButton, "Exit", 4080, 2160, 975, 495, 3, ControlFont::Default},
    {"lblNum", 0, ControlKind::ResultLabel, "", 60, 2640, 450, 300, 16, ControlFont::TimesBold11_25},
});

inline constexpr LineLayout kLine1{"Line1", 0, 2760, 5280, 2760};

}  // namespace tambrel
