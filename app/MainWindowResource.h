// The explorer's main window as its resource describes it.
#ifndef PINWORTH_EXPLORER_MAIN_WINDOW_RESOURCE_H
#define PINWORTH_EXPLORER_MAIN_WINDOW_RESOURCE_H

#include <QCommandLineOption>
#include <QList>

#include <functional>
#include <memory>

class ControllerLog;
class ControllerTarget;
class ExplorerSession;
class PinworthWindowController;
class QApplication;
class QCommandLineParser;
class QMainWindow;
class QString;
class ReplayPanel;

// Loading builds a window from MainWindow.ui and creates its controller with
// its outlets, its actions connected to the window's controls, for the
// session's window number. The controller is not woken yet: the caller
// sends it awakeFromNib(). The controller goes before the window it points
// into.
class MainWindowResource {
public:
  MainWindowResource(ExplorerSession &session, int number);
  ~MainWindowResource();
  MainWindowResource(const MainWindowResource &) = delete;
  MainWindowResource &operator=(const MainWindowResource &) = delete;

  QMainWindow *window() const { return window_.get(); }
  PinworthWindowController *controller() const { return controller_.get(); }
  // Where the window's writes are replayed from a capture's window.
  ReplayPanel &replayPanel() const { return *replayPanel_; }

private:
  std::unique_ptr<QMainWindow> window_;
  std::unique_ptr<PinworthWindowController> controller_;
  // The controller as the window's device area takes it; they go before it.
  std::unique_ptr<ControllerTarget> target_;
  std::unique_ptr<ControllerLog> log_;
  ReplayPanel *replayPanel_ = nullptr; // owned by the window's device area
};

// Whether the program can open its window. Without a display named (and no
// Qt platform chosen), says so in one line on standard error and returns
// false, except for --help and --version, which need none. Call it before
// the QApplication is made: it would abort.
bool CanOpenWindow(int argc, char **argv);

// Answers --help, --help-all and --version on standard output and ends the
// program, or ends it with status 1 on an option it does not know (QApplication
// has taken Qt's own, such as -style) besides options. Otherwise opens the
// first window of a session, calls shown with the session, that window and
// the parsed options (when given; its false ends the program with status 1)
// and runs the application's event loop until the last window closes;
// returns its exit code. The device backend must be installed before.
using ExplorerShown = std::function<bool(ExplorerSession &, QMainWindow &,
                                         const QCommandLineParser &)>;
int RunExplorer(QApplication &application, const QString &description,
                const ExplorerShown &shown = {},
                const QList<QCommandLineOption> &options = {});

#endif
