// The explorer as a program: the checks before its application is made, its
// command line, its first window and its event loop. The explorer on hidraw
// and the one on simulated devices differ only in their backend and in
// what they add to the first window.
#ifndef PINWORTH_EXPLORER_PROGRAM_H
#define PINWORTH_EXPLORER_PROGRAM_H

#include <QCommandLineOption>
#include <QList>

#include <functional>

class QApplication;
class QCommandLineParser;
class QMainWindow;
class QString;

namespace explorer {

class ExplorerProcess;

// Whether the program can open its window. Without a display named (and no
// Qt platform chosen), says so in one line on standard error and returns
// false, except for --help and --version, which need none. Call it before
// the QApplication is made: it would abort.
bool CanOpenWindow(int argc, char **argv);

// Answers --help, --help-all and --version on standard output and ends the
// program, or ends it with status 1 on an option it does not know (QApplication
// has taken Qt's own, such as -style) besides options. Otherwise opens the
// first window of an ExplorerProcess, calls shown with it, that window and
// the parsed options (when given; its false ends the program with status 1)
// and runs the application's event loop until the last window closes;
// returns its exit code. The device backend must be installed before.
using ExplorerShown = std::function<bool(ExplorerProcess &, QMainWindow &,
                                         const QCommandLineParser &)>;
int RunExplorer(QApplication &application, const QString &description,
                const ExplorerShown &shown = {},
                const QList<QCommandLineOption> &options = {});

} // namespace explorer

#endif
