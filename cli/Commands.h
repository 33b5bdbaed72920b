// pinworth's commands, each on the library as the program entry set it up;
// each returns an ExitStatus and says on standard error what went wrong.
#ifndef PINWORTH_CLI_COMMANDS_H
#define PINWORTH_CLI_COMMANDS_H

#include "cli/CommandLine.h"
#include "cli/Interfaces.h"
#include "platform/simulated/SimBackend.h"

namespace cli {

// The command invocation names.
int RunCommand(const Invocation &invocation);

// Commands read from standard input, one a line, on the same devices, split
// as ShellLine.h says; blank lines and comments are skipped, and
// "sleep MS" waits. The time column runs from the session's start. Stops at
// the first command that fails, or a line that is too long or will not
// split, and returns its status.
int RunSession(const Invocation &session);

// A capture of every interface invocation names, into invocation.file.
int RecordCapture(const Invocation &invocation);
// The capture invocation.file names, as log lines.
int DumpCapture(const Invocation &invocation);
// invocation.file in another format: a capture exported, another tool's
// file imported, or both.
int ConvertCapture(const Invocation &invocation);

// The reports invocation.file wrote to interfaces of interface's number, in
// order, to interface, at their recorded gaps or as the options say.
int ReplayWrites(const Invocation &invocation,
                 const ListedInterface &interface);

// replay under --sim without --to: invocation.file played into the simulated
// device of its recorded model (deviceA, the PinworthA "1000", or deviceB),
// printing what its interfaces then send and read.
int ReplayIntoSimulator(const Invocation &invocation,
                        hid::sim::SimBackend &backend,
                        hid::sim::DeviceID deviceA, hid::sim::DeviceID deviceB);

// The explorer's stored macros: index, report, name.
int ListMacros(const Invocation &invocation);
// The macro invocation.text names, written to the interface --to names or
// else to the only interface of its kind.
int RunMacro(const Invocation &invocation);

// Every listed interface: position, name, device node.
int ListInterfaces(const Invocation &invocation);
// The commands on an interface get it found in the list as counted when they
// start; the display's on the device's interface 1.
//
// The properties and the decoded report descriptor.
int ShowInterfaceInfo(const Invocation &invocation,
                      const ListedInterface &interface);
// One output report, padded with zeros to the interface's size.
int WriteReport(const Invocation &invocation, const ListedInterface &interface);
// Get-report polling of an interface 0.
int PollReports(const Invocation &invocation, const ListedInterface &interface);
// Interrupt reports as they come.
int ListenForReports(const Invocation &invocation,
                     const ListedInterface &interface);
// The display's reports (core/reports/DisplayReports.h) and the display's
// answers.
int DriveDisplay(const Invocation &invocation,
                 const ListedInterface &interface);

} // namespace cli

#endif
