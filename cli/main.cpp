// pinworth: the device library from the command line, on real devices
// through libudev and hidraw, or with --sim on a simulated PinworthA "1000"
// and PinworthB "2000".
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/Output.h"
#include "cli/StopRequests.h"

#include "lib/PinworthLib.h"
#include "platform/hidraw/HidrawBackend.h"
#include "platform/simulated/SimBackend.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <memory>

namespace {

bool NeedsDevices(cli::Command command) {
  return command != cli::Command::Help && command != cli::Command::Version &&
         command != cli::Command::Dump && command != cli::Command::Convert;
}

struct Backend {
  std::unique_ptr<hid::Backend> backend;
  hid::sim::SimBackend *simulated = nullptr;
  hid::sim::DeviceID deviceA = 0, deviceB = 0;
};

Backend MakeBackend(bool simulated) {
  if (!simulated)
    return {std::make_unique<hid::hidraw::HidrawBackend>()};
  auto backend = std::make_unique<hid::sim::SimBackend>();
  const hid::sim::DeviceID a =
      backend->attach(hid::sim::Model::PinworthA, "1000");
  const hid::sim::DeviceID b =
      backend->attach(hid::sim::Model::PinworthB, "2000");
  hid::sim::SimBackend *sim = backend.get();
  return {std::move(backend), sim, a, b};
}

} // namespace

int main(int argc, char **argv) {
  QCoreApplication application(argc, argv);
  // A file-size limit fails the write that meets it (record, convert and
  // the macros' file say why) instead of killing the program.
  std::signal(SIGXFSZ, SIG_IGN);
  const auto parsed = cli::ParseCommandLine(application.arguments().mid(1));
  if (const auto *error = std::get_if<cli::UsageError>(&parsed)) {
    cli::PrintError(error->message);
    std::fputs("Try 'pinworth --help'.\n", stderr);
    return cli::kExitBadArguments;
  }
  const cli::Invocation &invocation = std::get<cli::Invocation>(parsed);
  if (!NeedsDevices(invocation.command))
    return cli::RunCommand(invocation);

  cli::InstallStopRequests();
  const Backend backend = MakeBackend(invocation.simulated);
  hid::SetBackend(backend.backend.get());
  if (PinworthInit() != 0) {
    cli::PrintError(QStringLiteral("cannot reach the devices: udev is not "
                                   "available"));
    return cli::kExitTransferFailed;
  }
  const int status =
      invocation.intoSimulator
          ? cli::ReplayIntoSimulator(invocation, *backend.simulated,
                                     backend.deviceA, backend.deviceB)
          : cli::RunCommand(invocation);
  // The handles go before the backend that made them.
  PinworthClearInterfaceList();
  hid::SetBackend(nullptr);
  return status;
}
