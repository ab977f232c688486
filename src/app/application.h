#pragma once

namespace tambrel {

// Starts the program: creates and shows the window, runs the event loop
// until the window is unloaded, and returns the exit status. The command
// line is not read.
int RunTambrel(char* programName);

}  // namespace tambrel
