// Sends a simulated device's interface 1 reports from a thread of its own at
// a steady rate, for a count or until stopped: a stress source for the
// explorer's interrupt path.
//
// Each report is what the device sends for a remote key, numbered: 0x0C, the
// high and the low byte of the report's sequence number (mod 65536), zeros.
#ifndef PINWORTH_SIMULATOR_REPORT_GENERATOR_H
#define PINWORTH_SIMULATOR_REPORT_GENERATOR_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class ReportGenerator {
public:
  static constexpr int kMinRate = 100;
  static constexpr int kMaxRate = 20000;

  // send takes one report, on the generator's thread. progress gets the
  // count sent so far and whether the run goes on, on the generator's
  // thread: at most every 50 ms while running, and once when it ends.
  using Send = std::function<void(const std::vector<uint8_t> &)>;
  using Progress = std::function<void(uint64_t sent, bool running)>;
  ReportGenerator(Send send, Progress progress);
  // Stops and waits for the thread.
  ~ReportGenerator();
  ReportGenerator(const ReportGenerator &) = delete;
  ReportGenerator &operator=(const ReportGenerator &) = delete;

  // Stops a run under way, then sends count reports (0: until stopped) at
  // rate reports a second, clamped to kMinRate..kMaxRate.
  void start(int rate, uint64_t count);
  // Ends the run and waits for its thread; its last progress has been given.
  void stop();
  bool running() const { return running_; }
  uint64_t sent() const { return sent_; }

private:
  void run(int rate, uint64_t count);

  Send send_;
  Progress progress_;
  std::atomic<bool> running_ = false;
  std::atomic<uint64_t> sent_ = 0;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false; // with mutex_ held
  std::thread thread_;
};

#endif
