#pragma once
// The program's command line and what each mode does: the main window (on the DB folder
// beside the executable or another one), the synchronisation into an empty folder, a
// refresh of a built folder's reference tables, a screenshot for machines without a
// display, the version and the help.

#include <QString>
#include <QStringList>
#include <memory>

class mdi_zelvorin;

namespace app {

struct CommandLine {
    enum class Mode { Gui, Sync, Refresh, Find, Compare, Screenshot, Version, Help };
    Mode mode = Mode::Gui;
    QString db;          // --db: the database folder itself; empty for DB beside the executable
    QString central;     // --central: an SQLite file or an ODBC connection string
    QString screenshot;  // --screenshot: the PNG to write
    QString find;        // --find: the words to search the positions' names for
    QString compare;     // --compare: the number of the stored order to compare
    QString exportFile;  // --export: the .xlsx or .csv file the comparison goes to
    QString error;       // what is wrong with the arguments; empty when they are fine
};

// Reads the arguments (the first is the program's name).
CommandLine parseCommandLine(const QStringList& args);
QString helpText();
QString versionText();

// The Data Source of the local database for these options.
QString dataSourceFor(const CommandLine& cl);

// Builds the main window and runs its load, opening the central link first when one is
// named. When either cannot be opened the message goes through the message-box seam,
// naming the folder (or the central source) and the reason; then the window is null
// and *exitCode non-zero.
std::unique_ptr<mdi_zelvorin> startMainWindow(const CommandLine& cl, int* exitCode);

// The modes. Each needs the application object that main() creates for it (a
// QApplication for the window and the screenshot) and returns the exit code.
int runGui(const CommandLine& cl);
int runScreenshot(const CommandLine& cl);
int runSync(const CommandLine& cl);
int runRefresh(const CommandLine& cl);
// Exit codes: 0 matches printed, 1 nothing matches, 2 an error (the reason on stderr).
int runFind(const CommandLine& cl);
// Exit codes: 0 the comparison printed (and written), 1 no such order, 2 an error.
int runCompare(const CommandLine& cl);

// The whole program: parses, creates the application object and runs the mode.
int main(int argc, char** argv);

}  // namespace app
