// A sequence run by pinworth: its steps go out on the event loop at their
// times (SequenceRunner, as in the explorer's window), each sent at once by
// send, until the last, the first that fails, or Ctrl+C.
#ifndef PINWORTH_CLI_SEQUENCE_RUN_H
#define PINWORTH_CLI_SEQUENCE_RUN_H

#include "core/runs/SequenceRunner.h"

#include <QString>

#include <functional>
#include <optional>

// Sends step, the index-th sent (from 0); returns why it did not go, if it
// did not.
using StepSend =
    std::function<std::optional<QString>(int index, const SequenceStep &step)>;

// Runs sequence; failed is told of the step that did not go before this
// returns kExitTransferFailed. Otherwise kExitSuccess, or kExitInterrupted
// on Ctrl+C.
int RunSequenceSteps(
    const Sequence &sequence, const StepSend &send,
    const std::function<void(const SequenceRunner::Outcome &)> &failed);

#endif
