// Runs a sequence on the thread's event loop: each step's report is sent
// when its delay has passed since the step before it was due, on a schedule
// fixed when the sequence starts (and moved on only by a pause), so that
// late wake-ups never add up. A round of a repeated sequence begins when the
// last one's last step was due; of a periodic one, every everyMS from the
// start (or, when a round takes longer, as that round ends). A step goes out
// once the one before it went out; steps already due then go out one after
// the other, at most kStepsPerWake in one turn of the event loop, so a
// sequence without delays never holds it.
//
// The first step that cannot be sent ends the run. stop() ends it at once,
// and the answer to a step then still awaited is ignored.
#ifndef PINWORTH_EXPLORER_SEQUENCE_RUNNER_H
#define PINWORTH_EXPLORER_SEQUENCE_RUNNER_H

#include "core/runs/Sequence.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace core {

class SequenceRunner : public QObject {
  Q_OBJECT
public:
  static constexpr int kStepsPerWake = 64;
  // The answer to a send: no value when the report went out, else why not.
  using Done = std::function<void(const std::optional<QString> &error)>;
  // Sends a step's report and calls done once, before returning or later.
  using Send = std::function<void(const SequenceStep &, Done done)>;
  struct Outcome {
    enum Result { Done, Stopped, Failed } result;
    int round = 0; // from 0, of the step that failed
    int step = 0;
    QString error;
  };

  explicit SequenceRunner(Send send, QObject *parent = nullptr);

  // Runs sequence from now; a run in progress is stopped first.
  void start(const Sequence &sequence);
  void stop();
  // Holds a run: no step goes out until resume(), which moves the schedule
  // on by the time paused. A step in flight still gets its answer.
  void pause();
  void resume();
  bool isRunning() const { return running_; }
  bool isPaused() const { return paused_; }
  const Sequence &sequence() const { return sequence_; }

signals:
  // Step step of round round went out, lateUS microseconds after it was
  // due (0 when on time or early).
  void stepSent(int round, int step, qint64 lateUS);
  void finished(const SequenceRunner::Outcome &outcome);

private:
  using Clock = std::chrono::steady_clock;

  void sendDue();
  // The answer to the step in flight; whether the run goes on.
  bool answered(const std::optional<QString> &error);
  void finish(const Outcome &outcome);

  Send send_;
  QTimer timer_;
  Sequence sequence_;
  bool running_ = false;
  bool paused_ = false;
  Clock::time_point pausedAt_;
  quint64 runs_ = 0; // started so far
  int round_ = 0;
  int step_ = 0;             // the next to send, or the one in flight
  bool inFlight_ = false;    // step_ was sent and awaits its answer
  bool sending_ = false;     // inside send_
  qint64 lateUS_ = 0;        // of the step in flight
  Clock::time_point due_;    // when step_ is due
  Clock::time_point origin_; // when round_ began
};

} // namespace core

#endif
