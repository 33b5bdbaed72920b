#include "core/runs/SequenceRunner.h"

#include <QPointer>

namespace core {

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

// A step in flight went out: the run stopped before the one after it.
void SequenceRunner::stop() {
  if (!running_)
    return;
  Outcome outcome{Outcome::Stopped, round_, step_, {}};
  if (inFlight_ && ++outcome.step == sequence_.steps.size()) {
    outcome.step = 0;
    ++outcome.round;
  }
  finish(outcome);
}

void SequenceRunner::pause() {
  if (!running_ || paused_)
    return;
  paused_ = true;
  pausedAt_ = Clock::now();
  timer_.stop();
}

void SequenceRunner::resume() {
  if (!paused_)
    return;
  paused_ = false;
  const Clock::duration paused = Clock::now() - pausedAt_;
  due_ += paused;
  origin_ += paused;
  if (!inFlight_)
    sendDue();
}

void SequenceRunner::finish(const Outcome &outcome) {
  timer_.stop();
  running_ = false;
  paused_ = false;
  inFlight_ = false;
  emit finished(outcome);
}

void SequenceRunner::sendDue() {
  for (int sent = 0; sent < kStepsPerWake; ++sent) {
    if (paused_)
      return;
    const Clock::time_point now = Clock::now();
    if (due_ > now + kEarliness) {
      timer_.start(duration_cast<milliseconds>(due_ - now + kEarliness));
      return;
    }
    const quint64 run = runs_;
    lateUS_ =
        std::max<qint64>(0, duration_cast<microseconds>(now - due_).count());
    inFlight_ = true;
    sending_ = true;
    send_(sequence_.steps[step_],
          [self = QPointer(this), run](const std::optional<QString> &error) {
            if (!self || self->runs_ != run || !self->inFlight_)
              return;
            // An answer inside send_ goes on in the loop below.
            if (self->answered(error) && !self->sending_)
              self->sendDue();
          });
    sending_ = false;
    if (inFlight_ || !running_ || runs_ != run)
      return;
  }
  timer_.start(0);
}

bool SequenceRunner::answered(const std::optional<QString> &error) {
  inFlight_ = false;
  const int step = step_;
  if (error) {
    finish({Outcome::Failed, round_, step, *error});
    return false;
  }
  // The slots of stepSent may stop or restart the run.
  const quint64 run = runs_;
  emit stepSent(round_, step, lateUS_);
  if (!running_ || runs_ != run)
    return false;
  if (++step_ == sequence_.steps.size()) {
    step_ = 0;
    ++round_;
    if (!sequence_.everyMS && round_ == sequence_.repeat) {
      finish({Outcome::Done, round_ - 1, step, {}});
      return false;
    }
    origin_ = sequence_.everyMS
                  ? std::max(origin_ + milliseconds(*sequence_.everyMS), due_)
                  : due_;
    due_ = origin_;
  }
  due_ += milliseconds(sequence_.steps[step_].delayMS);
  return true;
}

} // namespace core
