// The explorer on simulated devices: a PinworthA with serial number 1000 and a
// PinworthB with serial number 2000 are attached before the window wakes. The
// Device Simulator window opens beside it, or where it was last, and again
// from its Window menu. --replay FILE plays a capture into the PinworthA, and
// each window's log plays its selected rows into the simulator.
#include "app/ExplorerProgram.h"
#include "app/WindowState.h"
#include "app/framework/WindowMenu.h"
#include "app/sim/LogSelectionReplay.h"
#include "device_simulator/CaptureReplayPanel.h"
#include "device_simulator/SimulatorWindow.h"

#include "platform/simulated/SimBackend.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLabel>
#include <QMainWindow>

#include <cstdio>
#include <memory>

int main(int argc, char **argv) {
  if (!explorer::CanOpenWindow(argc, argv))
    return 1;
  QApplication application(argc, argv);
  hid::sim::SimBackend backend;
  hid::SetBackend(&backend);
  const hid::sim::DeviceID deviceA =
      backend.attach(hid::sim::Model::PinworthA, "1000");
  backend.attach(hid::sim::Model::PinworthB, "2000");
  std::unique_ptr<simulator::SimulatorWindow>
      simulator; // goes before the backend
  const QCommandLineOption replay(
      QStringLiteral("replay"),
      QStringLiteral("Plays the capture <file> into the PinworthA (SN 1000): "
                     "it then behaves as the capture's device did."),
      QStringLiteral("file"));
  return explorer::RunExplorer(
      application,
      QStringLiteral("The Pinworth explorer on two simulated devices: a "
                     "PinworthA (SN 1000) and a PinworthB (SN 2000), shown "
                     "and driven in the Device Simulator window."),
      [&](explorer::ExplorerProcess &process, QMainWindow &explorer,
          const QCommandLineParser &options) {
        simulator = std::make_unique<simulator::SimulatorWindow>(backend);
        explorer::AddLogSelectionReplay(process, *simulator);
        simulator::AddSimulatorItem(*explorer::WindowMenuOf(explorer),
                                    *simulator);
        simulator->placeBeside(explorer,
                               explorer::WindowState::StandardFilePath());
        if (!options.isSet(replay) ||
            simulator->replay()->play(options.value(replay), deviceA))
          return true;
        std::fprintf(stderr, "pinworth-explorer-sim: %s\n",
                     qPrintable(simulator->replay()->statusLabel()->text()));
        return false;
      },
      {replay});
}
