#pragma once

namespace windows {

// Starts the program: the main window, its preview pane and the engine behind them.
int runProgram(int argc, char *argv[]);

}  // namespace windows
