#pragma once

class QWidget;

namespace tambrel {

// Called once the window has been shown; a start-up benchmark uses it to
// watch for the first paint.
using ShownHook = void (*)(QWidget& window);

// Starts the program: creates and shows the window, runs the event loop
// until the window is unloaded, and returns the exit status. The command
// line is not read.
int RunTambrel(char* programName, ShownHook onShown = nullptr);

}  // namespace tambrel
