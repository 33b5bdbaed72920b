// Finding the interface a user named in the library's list.
#ifndef PINWORTH_CLI_INTERFACES_H
#define PINWORTH_CLI_INTERFACES_H

#include "cli/CommandLine.h"
#include "core/interfaces/InterfaceIdentity.h"

#include "platform/HIDServices.h"

#include <optional>

namespace cli {

struct ListedInterface {
  int position;
  core::InterfaceIdentity identity;
  hid::DeviceInterface *handle; // borrowed from the list
};

// The interface name stands for in the list as counted now, or none, which
// it reports on standard error. The handle lasts until the list is rebuilt.
std::optional<ListedInterface> FindInterface(const InterfaceName &name);

// Interface 1 of the device of the interface name stands for, or none, which
// it reports.
std::optional<ListedInterface> FindDeviceInterface1(const InterfaceName &name);

bool IsInterface0(const core::InterfaceIdentity &identity);
// The bytes of a whole report to the interface: 4 on an interface 0, a
// report ID and 7 on an interface 1.
int ReportSizeOf(const core::InterfaceIdentity &identity);

class ReportPrinter;
// Writes the size bytes of report to interface and prints it; when the
// write fails, says why on standard error and returns false.
bool SendReport(const ListedInterface &interface, const uint8_t *report,
                int size, ReportPrinter &printer);

} // namespace cli

#endif
