// Sends the steps of a run (a sequence, a replay) to the interface that was
// the window's target when the run began: each step's report padded to the
// target's report size, through the target writer. A step the target cannot
// take is refused with the reason: the target changed or was unplugged, or
// the step's report does not fit it.
//
// Main thread only; the target and the writer outlive the sender.
#ifndef PINWORTH_EXPLORER_STEP_SENDER_H
#define PINWORTH_EXPLORER_STEP_SENDER_H

#include "core/interfaces/InterfaceIdentity.h"
#include "core/runs/Sequence.h"
#include "core/runs/SequenceRunner.h"

#include <optional>

class QObject;

namespace explorer {

class TargetWriter;
class WindowTarget;

class StepSender {
public:
  StepSender(const WindowTarget &target, const TargetWriter &writer);

  // Aims at the window's target from now on; none when there is none.
  const std::optional<core::InterfaceIdentity> &aim();
  const std::optional<core::InterfaceIdentity> &target() const {
    return target_;
  }
  // Sends step to the target; done gets the answer, unless context is
  // gone by then.
  void send(const core::SequenceStep &step, const QObject &context,
            core::SequenceRunner::Done done) const;

private:
  std::optional<QString> refusalOf(const core::SequenceStep &step) const;

  const WindowTarget &windowTarget_;
  const TargetWriter &writer_;
  std::optional<core::InterfaceIdentity> target_;
};

} // namespace explorer

#endif
