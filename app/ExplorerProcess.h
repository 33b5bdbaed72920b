// What the explorer's windows share in one process:
// - the device library, started when the first window wakes (a later
//   window never starts it again, which would take every other window's
//   nodes away), with PinworthCallback() registered for device changes;
// - the interfaces armed for interrupt reports, once each however many
//   windows listen (InterfaceListeners);
// - the preferences, whose macro and sequence lists every window shows, and
//   the window state file, in which each window keeps its place;
// - the windows' captures and the captures opened (CaptureSessions); a file
//   dropped on a window is opened as a capture.
//
// It makes the windows (File > New Window) and owns each until it closes;
// a window closed while it reads stops only its own reading. The library's
// callback is unregistered when the ExplorerProcess goes.
//
// Made after the device backend is installed; outlives its windows. Main
// thread only.
#ifndef PINWORTH_EXPLORER_EXPLORER_PROCESS_H
#define PINWORTH_EXPLORER_EXPLORER_PROCESS_H

#include "app/WindowState.h"
#include "app/capture/CaptureSessions.h"
#include "core/interfaces/InterfaceListeners.h"
#include "core/preferences/UserDefaults.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QMainWindow;

namespace explorer {

class MainWindowResource;
class PinworthWindowController;

class ExplorerProcess : public QObject {
  Q_OBJECT
public:
  struct Files {
    QString preferences; // the macro list's file
    QString windowState;
    QString sessions; // the folder of the logs' captures; none: not written
  };
  // The standard places, in QStandardPaths::AppConfigLocation, which the
  // application's organisation and name must have set, and the sessions in
  // the user's state folder.
  static Files StandardFiles();

  // Registers the built-in macros and sequence in the preferences'
  // registration layers.
  explicit ExplorerProcess(const Files &files = StandardFiles());
  // Closes every window first.
  ~ExplorerProcess() override;

  // Loads a window, wakes its controller and shows it; the ExplorerProcess owns
  // it until it is closed.
  QMainWindow *newWindow();
  // The open windows' controllers, oldest first.
  std::vector<PinworthWindowController *> controllers() const;

  // Whether File > Quit may end the program: with more than one window
  // open, or a log that holds rows, it first says over from what quitting
  // does, and the user may cancel.
  bool mayQuit(QWidget *from);

  // The first call starts the library; later ones do nothing.
  void startLibrary();
  // Every window's interface menu follows the library's list.
  void populateEveryInterfacePopup();

  core::UserDefaults &preferences() { return preferences_; }
  // The sequence list, in the same file under its own key.
  core::UserDefaults &sequences() { return sequences_; }
  const WindowState &windowState() const { return windowState_; }
  core::InterfaceListeners &listeners() { return listeners_; }
  CaptureSessions &captures() { return captures_; }

signals:
  // newWindow() woke the window's controller, before showing the window.
  void windowOpened(PinworthWindowController *controller);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  // The lowest window number no open window has.
  int freeNumber() const;
  void closed(QMainWindow *window);

  core::UserDefaults preferences_;
  core::UserDefaults sequences_;
  WindowState windowState_;
  // Before the windows, so that it goes after them.
  core::InterfaceListeners listeners_;
  bool libraryStarted_ = false;
  struct Window {
    int number;
    std::unique_ptr<MainWindowResource> resource;
  };
  std::vector<Window> windows_;
  CaptureSessions captures_;
};

// The library's device-change callback: every window of the process,
// inRefCon, refills its interface menu.
void PinworthCallback(void *inRefCon);

} // namespace explorer

#endif
