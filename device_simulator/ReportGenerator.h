// Sends a simulated device's interface 1 reports from a thread of its own at
// a steady rate, for a count or until stopped: a stress source for the
// explorer's interrupt path.
//
// Each report is what the device sends for a remote key, numbered: 0x0C, the
// high and the low byte of the report's sequence number (mod 65536), zeros.
//
// It sends as a bus carries reports: at most kPerMicroframe in each 125 us
// microframe. A thread that wakes late sends no burst: what is due waits in
// the device's queue for the microframes after, and what the queue
// (kDeviceQueue reports, 1 ms at the highest rate) cannot hold is its
// overrun, never sent (their sequence numbers are skipped), as a real device
// whose buffer is full loses them.
#ifndef PINWORTH_SIMULATOR_REPORT_GENERATOR_H
#define PINWORTH_SIMULATOR_REPORT_GENERATOR_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QSocketNotifier;

namespace simulator {

class ReportGenerator {
public:
  static constexpr int kMinRate = 100;
  // The limit of one high-speed interrupt endpoint: 3 reports in each
  // 125 us microframe.
  static constexpr int kMaxRate = 24000;
  static constexpr int kPerMicroframe = 3;
  static constexpr int kMicroframeUS = 125;
  static constexpr uint64_t kDeviceQueue = 24;

  // send takes one report, on the generator's thread. progressed is called
  // on the thread that made the generator, by its event loop: at most every
  // 50 ms while a run goes on, and after it ended.
  using Send = std::function<void(const std::vector<uint8_t> &)>;
  ReportGenerator(Send send, std::function<void()> progressed);
  // Stops and waits for the thread.
  ~ReportGenerator();
  ReportGenerator(const ReportGenerator &) = delete;
  ReportGenerator &operator=(const ReportGenerator &) = delete;

  // Stops a run under way, then sends count reports (0: until stopped) at
  // rate reports a second, clamped to kMinRate..kMaxRate; sent and overrun
  // add up to count. With realTime, the thread asks for real-time priority
  // (SCHED_FIFO), which only a privileged process is granted.
  void start(int rate, uint64_t count, bool realTime = false);
  // Ends the run and waits for its thread.
  void stop();
  // Any thread.
  bool running() const { return running_; }
  uint64_t sent() const { return sent_; }
  // Reports of the run the device's queue had no room for.
  uint64_t overrun() const { return overrun_; }
  // Whether the run's thread was granted real-time priority.
  bool realTime() const { return realTime_; }

private:
  void run(int rate, uint64_t count, bool realTime);
  // Wakes the maker's event loop, from the generator's thread. An eventfd,
  // not a queued Qt call: a hand-over a thread sanitizer follows.
  void wake() const;

  Send send_;
  std::function<void()> progressed_;
  const int wakeFd_;
  std::unique_ptr<QSocketNotifier> wakeUp_;
  std::atomic<bool> running_ = false;
  std::atomic<uint64_t> sent_ = 0;
  std::atomic<uint64_t> overrun_ = 0;
  std::atomic<bool> realTime_ = false;
  std::mutex mutex_;
  std::condition_variable stopped_;
  bool stopping_ = false; // with mutex_ held
  std::thread thread_;
};

} // namespace simulator

#endif
