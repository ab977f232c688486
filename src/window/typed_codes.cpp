#include "window/typed_codes.h"

#include <QInputMethodEvent>
#include <QKeyEvent>

namespace tambrel {
namespace {

std::vector<int> CodesOf(const QString& text) {
  std::vector<int> codes;
  for (const char32_t code : text.toUcs4()) codes.push_back(static_cast<int>(code));
  return codes;
}

std::vector<int> KeyCodes(const QKeyEvent& key) {
  const QString text = key.text();
  if (text.isEmpty() || key.key() == Qt::Key_Delete) return {};
  if (key.modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) {
    // With Control a letter types its control code (Ctrl+V is 22) whatever
    // text the platform attaches.
    if (key.key() >= Qt::Key_A && key.key() <= Qt::Key_Z) return {key.key() - Qt::Key_A + 1};
    if (text.front().unicode() < 32) return {text.front().unicode()};
    return {};
  }
  return CodesOf(text);
}

}  // namespace

std::vector<int> TypedCodes(const QEvent& event) {
  if (event.type() == QEvent::KeyPress) return KeyCodes(static_cast<const QKeyEvent&>(event));
  // Composed characters arrive whole from an input method.
  if (event.type() == QEvent::InputMethod) {
    return CodesOf(static_cast<const QInputMethodEvent&>(event).commitString());
  }
  return {};
}

}  // namespace tambrel
