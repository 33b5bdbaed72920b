// A capture played into a simulated device: the device then behaves as the
// recorded one did. It sends the recorded interface 1 input reports at their
// recorded times, and its pins' levels are those of the recorded interface 0
// reads from each one's time on, so that a host polling it reads what was
// read then (and gets the interface 0 report a device sends when its levels
// change). Its latches, pulls and display stay its own. The last levels
// played hold until the replay is destroyed; its levels are then its own
// again.
//
// The reports go out from a thread of the replay's own, at their recorded
// gaps divided by the speed; a pause holds the schedule, and a step sends the
// next report at once and stays paused. With loop on, the capture starts
// again after its last report.
//
// Control it from one thread (the main thread); progress() from any.
#ifndef PINWORTH_SIM_SIM_REPLAY_H
#define PINWORTH_SIM_SIM_REPLAY_H

#include "platform/simulated/SimBackend.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace hid::sim {

class SimReplay {
public:
  struct Report {
    int64_t timeUS = 0;      // as recorded
    int interfaceNumber = 0; // 1: an input report, led by its report ID;
                             // 0: the pins' levels read, 4 bytes
    std::vector<uint8_t> bytes;
  };
  static constexpr double kMinSpeed = 0.1;
  static constexpr double kMaxSpeed = 10;

  // Starts playing reports (in time order) into device of backend, which
  // outlive the replay.
  SimReplay(SimBackend &backend, DeviceID device, std::vector<Report> reports,
            double speed = 1, bool loop = false);
  // Stops; the device's levels are its own again.
  ~SimReplay();
  SimReplay(const SimReplay &) = delete;
  SimReplay &operator=(const SimReplay &) = delete;

  DeviceID device() const { return device_; }
  // Clamped to kMinSpeed..kMaxSpeed; the reports not sent yet follow it.
  void setSpeed(double speed);
  void setLoop(bool loop);
  void pause();
  void resume();
  // Pauses, and sends the next report at once.
  void step();

  struct Progress {
    size_t sent = 0;     // of this pass over the capture
    size_t total = 0;    // reports in the capture
    uint64_t passes = 0; // passes begun again by the loop
    int64_t atUS = 0;    // the recorded time of the last report sent
    bool paused = false;
    bool finished = false;
  };
  Progress progress() const;
  // How late each report went out against its schedule, in microseconds,
  // oldest first (at most kMostLatenesses kept).
  static constexpr size_t kMostLatenesses = 1'000'000;
  std::vector<int64_t> latenesses() const;

private:
  using Clock = std::chrono::steady_clock;
  void run();
  // The recorded time the replay's clock shows at now. Holds mutex_.
  int64_t replayedAt(Clock::time_point now) const;
  Clock::time_point dueOf(const Report &report) const;
  // Sends report i; holds mutex_.
  void send(size_t i);
  void finish();

  SimBackend &backend_;
  VirtualPinworth &behaviour_;
  const DeviceID device_;
  const std::vector<Report> reports_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  double speed_;
  bool loop_;
  bool paused_ = false;
  bool stopping_ = false;
  bool stepDue_ = false;
  size_t next_ = 0;
  uint64_t passes_ = 0;
  bool finished_ = false;
  // The schedule: the recorded time baseUS_ is at baseTime_.
  int64_t baseUS_ = 0;
  Clock::time_point baseTime_;
  std::optional<uint32_t> levels_;
  std::vector<int64_t> latenesses_;
  std::thread thread_;
};

} // namespace hid::sim

#endif
