// listen: interrupt reports until the count, the timeout or Ctrl+C, or until
// the device is unplugged.
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/ReportListener.h"
#include "cli/StopRequests.h"

#include "lib/PinworthLib.h"

namespace cli {

namespace {

struct Listening {
  QEventLoop &loop;
  const ListedInterface &interface;
};

// A device came or went. The armed handle outlives the list's rebuilds, and
// opening it again, which changes nothing while it is open, fails with
// kErrorNoDevice once its device is gone.
void EndIfUnplugged(void *refcon) {
  auto *listening = static_cast<Listening *>(refcon);
  if (listening->interface.handle->open(0) != hid::kErrorNoDevice)
    return;
  PrintError(QStringLiteral("%1 was unplugged")
                 .arg(listening->interface.identity.displayName()));
  listening->loop.exit(kExitTransferFailed);
}

} // namespace

int ListenForReports(const Invocation &invocation,
                     const ListedInterface &interface) {
  ReportPrinter printer(invocation.json);
  ReportListener listener(interface, printer);
  if (!listener.arm())
    return kExitTransferFailed;
  QEventLoop loop;
  int received = 0;
  listener.onReport = [&](const uint8_t *, int) {
    if (invocation.count && ++received == *invocation.count)
      loop.exit(kExitSuccess);
  };
  std::fprintf(stderr, "Listening to %s; Ctrl+C stops.\n",
               interface.identity.displayName().toLocal8Bit().constData());
  std::fflush(stderr);
  Listening listening{loop, interface};
  PinworthSetDeviceCallback(&EndIfUnplugged, &listening);
  const int status =
      RunUntilDone(loop, invocation.timeoutMS,
                   invocation.count ? kExitTimedOut : kExitSuccess);
  PinworthSetDeviceCallback(nullptr, nullptr);
  return status;
}

} // namespace cli
