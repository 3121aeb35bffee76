#pragma once

#include <QStringList>

namespace forms {
class Form1;
}

namespace app {

// Opens the files named on the command line from next on, each as a document of its own, the
// first as the file dialog opens one; why one would not open is said in a message.
void openFromCommandLine(forms::Form1 &form1, const QStringList &files, qsizetype next = 0);

// Ends the program when the system asks it to (SIGTERM, SIGHUP, SIGINT), once what is not saved
// is kept for the next start.
void endWhenTheSystemAsks(forms::Form1 &form1);

// Starts the program: the main window, its preview pane and the engine behind them.
int runProgram(int argc, char *argv[]);

}  // namespace app
