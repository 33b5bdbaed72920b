// The explorer on simulated devices: a PinworthA with serial number 1000 and a
// PinworthB with serial number 2000 are attached before the window wakes.
#include "MainWindowResource.h"

#include "platform/sim/SimBackend.h"

#include <QApplication>

int main(int argc, char **argv) {
  if (!CanOpenWindow(argc, argv))
    return 1;
  QApplication application(argc, argv);
  hid::sim::SimBackend backend;
  hid::SetBackend(&backend);
  backend.attach(hid::sim::Model::PinworthA, "1000");
  backend.attach(hid::sim::Model::PinworthB, "2000");
  return RunExplorer(application,
                     QStringLiteral("The Pinworth explorer on two simulated "
                                    "devices: a PinworthA (SN 1000) and a "
                                    "PinworthB (SN 2000)."));
}
