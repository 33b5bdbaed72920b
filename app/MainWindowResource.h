// The explorer's main window as its resource describes it.
#ifndef PINWORTH_EXPLORER_MAIN_WINDOW_RESOURCE_H
#define PINWORTH_EXPLORER_MAIN_WINDOW_RESOURCE_H

#include <memory>

class QMainWindow;

namespace explorer {

class ControllerLog;
class ControllerTarget;
class ExplorerProcess;
class PinworthWindowController;
class ReplayPanel;

// Loading builds a window from MainWindow.ui and creates its controller with
// its outlets, its actions connected to the window's controls, for the
// process's window number. The controller is not woken yet: the caller
// sends it awakeFromNib(). The controller goes before the window it points
// into.
class MainWindowResource {
public:
  MainWindowResource(ExplorerProcess &process, int number);
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

} // namespace explorer

#endif
