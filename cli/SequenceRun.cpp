#include "cli/SequenceRun.h"

#include "cli/ExitStatus.h"
#include "cli/Interfaces.h"
#include "cli/StopRequests.h"
#include "core/reports/ReportRecord.h"

#include <QEventLoop>

namespace cli {

QByteArray StepReport(const core::SequenceStep &step) {
  QByteArray report = step.data;
  if (step.reportID != core::kNoReportID)
    report.prepend(char(step.reportID));
  return report;
}

std::optional<QString> SendPadded(const ListedInterface &interface,
                                  QByteArray report, ReportPrinter &printer) {
  const int size = ReportSizeOf(interface.identity);
  if (report.size() > size)
    return QStringLiteral("its %1 bytes do not fit %2's %3-byte reports")
        .arg(report.size())
        .arg(interface.identity.displayName())
        .arg(size);
  report.append(size - report.size(), '\0');
  if (!SendReport(interface,
                  reinterpret_cast<const uint8_t *>(report.constData()), size,
                  printer))
    return QStringLiteral("it was not sent");
  return std::nullopt;
}

int RunSequenceSteps(
    const core::Sequence &sequence, const StepSend &send,
    const std::function<void(const core::SequenceRunner::Outcome &)> &failed) {
  int sent = 0;
  core::SequenceRunner runner([&](const core::SequenceStep &step,
                                  const core::SequenceRunner::Done &done) {
    done(send(sent++, step));
  });
  QEventLoop loop;
  int status = kExitSuccess;
  QObject::connect(&runner, &core::SequenceRunner::finished, &loop,
                   [&](const core::SequenceRunner::Outcome &outcome) {
                     if (outcome.result ==
                         core::SequenceRunner::Outcome::Failed) {
                       failed(outcome);
                       status = kExitTransferFailed;
                     }
                     loop.exit(status);
                   });
  // A run that ends inside start() never reaches the loop.
  runner.start(sequence);
  if (runner.isRunning())
    status = RunUntilDone(loop, std::nullopt, kExitSuccess);
  runner.stop();
  return status;
}

} // namespace cli
