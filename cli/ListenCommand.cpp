// listen: interrupt reports until the count, the timeout or Ctrl+C.
#include "Commands.h"
#include "ExitStatus.h"
#include "ReportListener.h"
#include "StopRequests.h"

int ListenForReports(const Invocation &invocation) {
  const std::optional<ListedInterface> interface =
      FindInterface(invocation.target);
  if (!interface)
    return kExitNoSuchInterface;
  ReportPrinter printer(invocation.json);
  ReportListener listener(*interface, printer);
  if (!listener.arm())
    return kExitTransferFailed;
  QEventLoop loop;
  int received = 0;
  listener.onReport = [&](int32_t) {
    if (invocation.count && ++received == *invocation.count)
      loop.exit(kExitSuccess);
  };
  std::fprintf(stderr, "Listening to %s; Ctrl+C stops.\n",
               interface->identity.displayName().toLocal8Bit().constData());
  std::fflush(stderr);
  return RunUntilDone(loop, invocation.timeoutMS,
                      invocation.count ? kExitTimedOut : kExitSuccess);
}
