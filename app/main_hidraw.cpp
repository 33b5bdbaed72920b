// The explorer on real Pinworth devices, found through libudev and reached
// through the kernel's hidraw interface.
#include "app/ExplorerProgram.h"

#include "platform/hidraw/HidrawBackend.h"

#include <QApplication>

int main(int argc, char **argv) {
  if (!explorer::CanOpenWindow(argc, argv))
    return 1;
  QApplication application(argc, argv);
  // Wayland docks find the window's desktop entry, and so its icon, by this.
  QApplication::setDesktopFileName(
      QStringLiteral("io.github.pinworth.Explorer"));
  hid::hidraw::HidrawBackend backend;
  hid::SetBackend(&backend);
  return explorer::RunExplorer(
      application, QStringLiteral("Writes, reads and logs the reports of the "
                                  "Pinworth USB HID I/O controllers."));
}
