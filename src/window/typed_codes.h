#pragma once

#include <vector>

class QEvent;

namespace tambrel {

// The character codes an event types into a box, as the key filter judges
// them: a key press's text (a Control letter as its control code), or an
// input method's composed text. Nothing for events that type nothing, and
// for keys that only edit or move (Delete, arrows).
[[nodiscard]] std::vector<int> TypedCodes(const QEvent& event);

}  // namespace tambrel
