// write and read: one output report, and get-report polling.
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/Interfaces.h"
#include "cli/Output.h"
#include "cli/StopRequests.h"

#include "core/interfaces/InterfaceInfo.h"
#include "core/reports/ReportRecord.h"

#include "lib/PinworthLib.h"
#include "platform/PinworthProtocol.h"

#include <QTimer>

#include <array>

namespace {

// A poll asks for this report ID, as the explorer's does.

} // namespace

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
  QTimer ticks;
  std::optional<QByteArray> last;
  int printed = 0;
  const auto poll = [&] {
    std::array<uint8_t, pinworth::kInterface0ReportSize> report;
    const hid::Status status =
        PinworthReadFromInterface(interface.handle, pinworth::kPolledReportID,
                                  int(report.size()), report.data());
    if (status != hid::kSuccess) {
      PrintError(
          QStringLiteral("could not read from %1: %2")
              .arg(interface.identity.displayName(), StatusText(status)));
      ticks.stop();
      loop.exit(kExitTransferFailed);
      return;
    }
    const QByteArray value(reinterpret_cast<const char *>(report.data()),
                           int(report.size()));
    if (invocation.changesOnly && last == value)
      return;
    last = value;
    printer.print(false, kNoReportID, report.data(), int(report.size()),
                  interface.identity);
    if (invocation.count && ++printed >= *invocation.count) {
      ticks.stop();
      loop.exit(kExitSuccess);
    }
  };
  QObject::connect(&ticks, &QTimer::timeout, &loop, poll);
  ticks.setTimerType(Qt::PreciseTimer);
  ticks.start(invocation.intervalMS);
  QTimer::singleShot(0, &loop, poll);
  return RunUntilDone(loop, invocation.timeoutMS,
                      invocation.count ? kExitTimedOut : kExitSuccess);
}
