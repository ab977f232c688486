#pragma once

#include <QSize>
#include <functional>

class QWidget;

namespace tambrel {

// Centres a top-level window, frame and title bar included, on the
// available area of its screen: placed there before it is first shown, and
// on X11 moved there once the window manager has framed it and the window
// has settled at its size. `settled` gives the frame size the window will
// keep for a frame of a given size, where it adjusts its own size once it
// knows its frame. Call before show().
void CentreOnScreen(QWidget& window, std::function<QSize(QSize frame)> settled = {});

}  // namespace tambrel
