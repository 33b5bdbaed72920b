#include "cli/SequenceRun.h"

#include "cli/ExitStatus.h"
#include "cli/StopRequests.h"

#include <QEventLoop>

int RunSequenceSteps(
    const Sequence &sequence, const StepSend &send,
    const std::function<void(const SequenceRunner::Outcome &)> &failed) {
  int sent = 0;
  SequenceRunner runner(
      [&](const SequenceStep &step, const SequenceRunner::Done &done) {
        done(send(sent++, step));
      });
  QEventLoop loop;
  int status = kExitSuccess;
  QObject::connect(&runner, &SequenceRunner::finished, &loop,
                   [&](const SequenceRunner::Outcome &outcome) {
                     if (outcome.result == SequenceRunner::Outcome::Failed) {
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
