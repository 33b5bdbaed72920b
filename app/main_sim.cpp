// The explorer on simulated devices: a PinworthA with serial number 1000 and a
// PinworthB with serial number 2000 are attached before the window wakes. The
// Device Simulator window opens beside it, or where it was last, and again
// from its Window menu.
#include "app/MainWindowResource.h"
#include "app/WindowState.h"
#include "device_simulator/SimulatorWindow.h"

#include "platform/simulated/SimBackend.h"

#include <QApplication>
#include <QMainWindow>

#include <memory>

int main(int argc, char **argv) {
  if (!CanOpenWindow(argc, argv))
    return 1;
  QApplication application(argc, argv);
  hid::sim::SimBackend backend;
  hid::SetBackend(&backend);
  backend.attach(hid::sim::Model::PinworthA, "1000");
  backend.attach(hid::sim::Model::PinworthB, "2000");
  std::unique_ptr<SimulatorWindow> simulator; // goes before the backend
  return RunExplorer(
      application,
      QStringLiteral("The Pinworth explorer on two simulated devices: a "
                     "PinworthA (SN 1000) and a PinworthB (SN 2000), shown "
                     "and driven in the Device Simulator window."),
      [&](QMainWindow &explorer) {
        simulator = std::make_unique<SimulatorWindow>(backend);
        AddSimulatorMenu(explorer, *simulator);
        simulator->placeBeside(explorer, WindowState::StandardFilePath());
      });
}
