#pragma once

#include <QStringList>

namespace forms {
class Form1;
}

namespace app {

// Opens the first file named on the command line as the file dialog opens one, and names the
// others, or why the first would not open, in a message.
void openFromCommandLine(forms::Form1 &form1, const QStringList &files);

// Ends the program when the system asks it to (SIGTERM, SIGHUP, SIGINT), once what is not saved
// is kept for the next start.
void endWhenTheSystemAsks(forms::Form1 &form1);

// Starts the program: the main window, its preview pane and the engine behind them.
int runProgram(int argc, char *argv[]);

}  // namespace app
