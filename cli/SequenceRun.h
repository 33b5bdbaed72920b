// A sequence run by pinworth: its steps go out on the event loop at their
// times (SequenceRunner, as in the explorer's window), each sent at once by
// send, until the last, the first that fails, or Ctrl+C.
#ifndef PINWORTH_CLI_SEQUENCE_RUN_H
#define PINWORTH_CLI_SEQUENCE_RUN_H

#include "core/runs/SequenceRunner.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace cli {

// Sends step, the index-th sent (from 0); returns why it did not go, if it
// did not.
using StepSend = std::function<std::optional<QString>(
    int index, const core::SequenceStep &step)>;

struct ListedInterface;
class ReportPrinter;

// A step's whole report: its report ID, when it has one, then its data.
QByteArray StepReport(const core::SequenceStep &step);
// Sends report to interface, padded with zeros to its report size, and
// prints it; says why it was not sent otherwise (one longer than that size
// is not).
std::optional<QString> SendPadded(const ListedInterface &interface,
                                  QByteArray report, ReportPrinter &printer);

// Runs sequence; failed is told of the step that did not go before this
// returns kExitTransferFailed. Otherwise kExitSuccess, or kExitInterrupted
// on Ctrl+C.
int RunSequenceSteps(
    const core::Sequence &sequence, const StepSend &send,
    const std::function<void(const core::SequenceRunner::Outcome &)> &failed);

} // namespace cli

#endif
