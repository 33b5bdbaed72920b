// Polling an interface 0 for its input report, as the explorer's windows and
// pinworth do: once when polling starts, then every period (20 times a
// second unless told otherwise). Each read is made without waiting for the
// device and answered with the time it was read. While a read waits for its
// answer, ticks read nothing, so a device that answers late is not asked
// again and again; an answer to a read made before the last start or stop
// is dropped.
//
// Ticks go on while a modal dialog is up, as the answers do: polling a
// device never pauses for the window. Main thread only.
#ifndef PINWORTH_CORE_INTERFACE_POLLER_H
#define PINWORTH_CORE_INTERFACE_POLLER_H

#include "core/interfaces/InterfaceIdentity.h"

#include "platform/HIDServices.h"
#include "platform/PinworthProtocol.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace core {

class InterfacePoller : public QObject {
  Q_OBJECT
public:
  // What a tick reads: the handle (the library's, which lives until the next
  // rebuild of its list), the interface it is and how many bytes to ask for.
  struct Target {
    hid::DeviceInterface *handle;
    InterfaceIdentity source;
    int size;
  };
  // Asked at every tick; none reads nothing at that tick.
  using TargetOfTick = std::function<std::optional<Target>()>;
  // A read's outcome: its status, and when it succeeded the report.
  using Answered = std::function<void(
      const InterfaceIdentity &source, int32_t status,
      const std::vector<uint8_t> &report, hid::ReportTime readAt)>;

  InterfacePoller(TargetOfTick target, Answered answered);

  // Polls at once, then every periodMS.
  void start(int periodMS = pinworth::kPollPeriodMS);
  // No tick after it, and no answer to a read made before it.
  void stop();
  // No tick after it; the answer to the read that waits, if one does, is
  // still handed on.
  void stopTicks() { timer_.stop(); }
  bool waitsForAnswer() const { return waitingRun_ == run_; }
  bool isPolling() const { return timer_.isActive(); }
  // The first read since polling started waits for its answer; the reads
  // after it are polling's own.
  bool waitsForFirstPoll() const {
    return waitingRun_ && answeredRun_ != waitingRun_;
  }
  // One read, when none waits.
  void poll();

private:
  void answered(uint64_t run, const InterfaceIdentity &source, int32_t status,
                const std::vector<uint8_t> &report, hid::ReportTime readAt);

  TargetOfTick target_;
  Answered answered_;
  uint64_t run_ = 0;                    // changed by each start and stop
  std::optional<uint64_t> waitingRun_;  // the run of the read answered next,
                                        // while one waits
  std::optional<uint64_t> answeredRun_; // the run of the last answer
  QTimer timer_;
};

} // namespace core

#endif
