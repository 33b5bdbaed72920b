// write and read: one output report, and get-report polling.
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/Interfaces.h"
#include "cli/Output.h"
#include "cli/StopRequests.h"

#include "core/interfaces/InterfaceInfo.h"
#include "core/interfaces/InterfacePoller.h"
#include "core/reports/ReportRecord.h"

#include "lib/PinworthLib.h"
#include "platform/PinworthProtocol.h"

namespace cli {

int WriteReport(const Invocation &invocation,
                const ListedInterface &interface) {
  const bool isInterface0 = IsInterface0(interface.identity);
  const int size = ReportSizeOf(interface.identity);
  if (invocation.bytes.size() > size) {
    PrintError(QStringLiteral("%1 takes %2; %3 bytes given")
                   .arg(interface.identity.displayName(),
                        isInterface0
                            ? QStringLiteral("4 bytes")
                            : QStringLiteral("a report ID and 7 bytes"))
                   .arg(invocation.bytes.size()));
    return kExitBadArguments;
  }
  QByteArray report = invocation.bytes;
  report.append(size - report.size(), '\0');
  ReportPrinter printer(invocation.json);
  return SendReport(interface,
                    reinterpret_cast<const uint8_t *>(report.constData()), size,
                    printer)
             ? kExitSuccess
             : kExitTransferFailed;
}

int PollReports(const Invocation &invocation,
                const ListedInterface &interface) {
  if (!IsInterface0(interface.identity)) {
    PrintError(QStringLiteral("%1 sends its reports by interrupt: use listen")
                   .arg(interface.identity.displayName()));
    return kExitBadArguments;
  }
  ReportPrinter printer(invocation.json);
  QEventLoop loop;
  std::optional<QByteArray> last;
  int printed = 0;
  core::InterfacePoller poller(
      [&] {
        return core::InterfacePoller::Target{
            interface.handle, interface.identity,
            int(pinworth::kInterface0ReportSize)};
      },
      [&](const core::InterfaceIdentity &source, int32_t status,
          const std::vector<uint8_t> &report, hid::ReportTime) {
        if (status != hid::kSuccess) {
          PrintError(QStringLiteral("could not read from %1: %2")
                         .arg(source.displayName(), core::StatusText(status)));
          poller.stop();
          loop.exit(kExitTransferFailed);
          return;
        }
        const QByteArray value(reinterpret_cast<const char *>(report.data()),
                               qsizetype(report.size()));
        if (invocation.changesOnly && last == value)
          return;
        last = value;
        printer.print(false, core::kNoReportID, report.data(),
                      int(report.size()), source);
        if (invocation.count && ++printed >= *invocation.count) {
          poller.stop();
          loop.exit(kExitSuccess);
        }
      });
  poller.start(invocation.intervalMS);
  return RunUntilDone(loop, invocation.timeoutMS,
                      invocation.count ? kExitTimedOut : kExitSuccess);
}

} // namespace cli
