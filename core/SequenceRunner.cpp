#include "core/SequenceRunner.h"

using namespace std::chrono;

namespace {

// A step goes out when it is due within this much: the timer counts whole
// milliseconds, and waking early beats waking a millisecond late.
constexpr auto kEarliness = microseconds(500);

} // namespace

SequenceRunner::SequenceRunner(Send send, QObject *parent)
    : QObject(parent), send_(std::move(send)) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &SequenceRunner::sendDue);
}

void SequenceRunner::start(const Sequence &sequence) {
  stop();
  sequence_ = sequence;
  running_ = true;
  ++runs_;
  round_ = 0;
  step_ = 0;
  origin_ = Clock::now();
  due_ = origin_ + milliseconds(sequence_.steps[0].delayMS);
  sendDue();
}

void SequenceRunner::stop() {
  if (running_)
    finish({Outcome::Stopped, round_, step_, {}});
}

void SequenceRunner::finish(const Outcome &outcome) {
  timer_.stop();
  running_ = false;
  emit finished(outcome);
}

void SequenceRunner::sendDue() {
  for (int sent = 0; sent < kStepsPerWake; ++sent) {
    const Clock::time_point now = Clock::now();
    if (due_ > now + kEarliness) {
      timer_.start(duration_cast<milliseconds>(due_ - now + kEarliness));
      return;
    }
    // The send and the slots of stepSent may stop or restart the run.
    const quint64 run = runs_;
    const int step = step_;
    const std::optional<QString> failure = send_(sequence_.steps[step]);
    if (!running_ || runs_ != run)
      return;
    if (failure)
      return finish({Outcome::Failed, round_, step, *failure});
    emit stepSent(
        round_, step,
        std::max<qint64>(0, duration_cast<microseconds>(now - due_).count()));
    if (!running_ || runs_ != run)
      return;
    if (++step_ == sequence_.steps.size()) {
      step_ = 0;
      ++round_;
      if (!sequence_.everyMS && round_ == sequence_.repeat)
        return finish({Outcome::Done, round_ - 1, step, {}});
      origin_ = sequence_.everyMS
                    ? std::max(origin_ + milliseconds(*sequence_.everyMS), due_)
                    : due_;
      due_ = origin_;
    }
    due_ += milliseconds(sequence_.steps[step_].delayMS);
  }
  timer_.start(0);
}
