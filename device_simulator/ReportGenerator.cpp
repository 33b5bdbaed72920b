#include "device_simulator/ReportGenerator.h"

#include "platform/PinworthProtocol.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace simulator {

using Clock = std::chrono::steady_clock;

namespace {

std::vector<uint8_t> Report(uint64_t sequence) {
  std::vector<uint8_t> report(pinworth::kInterface1ReportSize, 0);
  report[0] = pinworth::kInfraredReport;
  report[1] = uint8_t(sequence >> 8);
  report[2] = uint8_t(sequence);
  return report;
}

// The first report of a run due at or after timeUS since its start.
uint64_t FirstDueFrom(uint64_t timeUS, int rate) {
  return (timeUS * uint64_t(rate) + 999'999) / 1'000'000;
}

// Asks for real-time priority for the calling thread; whether it was granted.
bool RaisePriority() {
  sched_param priority{};
  priority.sched_priority = 10;
  return pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority) == 0;
}

} // namespace

ReportGenerator::ReportGenerator(Send send, std::function<void()> progressed)
    : send_(std::move(send)), progressed_(std::move(progressed)),
      wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      wakeUp_(
          std::make_unique<QSocketNotifier>(wakeFd_, QSocketNotifier::Read)) {
  QObject::connect(wakeUp_.get(), &QSocketNotifier::activated, [this] {
    uint64_t wakes = 0;
    while (::read(wakeFd_, &wakes, sizeof wakes) < 0 && errno == EINTR) {
    }
    progressed_();
  });
}

ReportGenerator::~ReportGenerator() {
  stop();
  wakeUp_.reset(); // before its eventfd goes
  ::close(wakeFd_);
}

void ReportGenerator::start(int rate, uint64_t count, bool realTime) {
  stop();
  stopping_ = false;
  sent_ = 0;
  overrun_ = 0;
  realTime_ = false;
  running_ = true;
  thread_ = std::thread(&ReportGenerator::run, this,
                        std::clamp(rate, kMinRate, kMaxRate), count, realTime);
}

void ReportGenerator::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stopped_.notify_all();
  if (thread_.joinable())
    thread_.join();
}

void ReportGenerator::wake() const {
  const uint64_t one = 1;
  while (::write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

// Each wake-up sends the reports due by then, as many as the bus takes in its
// microframe, the rest in the microframes after; the sleep is as fine as the
// kernel's timers (the thread's timer slack is 1 us, not the 50 us threads
// get by default).
void ReportGenerator::run(int rate, uint64_t count, bool realTime) {
  prctl(PR_SET_TIMERSLACK, 1000UL);
  realTime_ = realTime && RaisePriority();
  const Clock::time_point start = Clock::now();
  Clock::time_point nextProgress = start;
  uint64_t next = 0; // the sequence number of the next report
  uint64_t sent = 0;
  uint64_t lastMicroframe = 0, sentInMicroframe = 0;
  std::unique_lock lock(mutex_);
  while (!stopping_ && (count == 0 || next < count)) {
    lock.unlock();
    const auto elapsedUS =
        uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(
                     Clock::now() - start)
                     .count());
    uint64_t due = FirstDueFrom(elapsedUS + 1, rate);
    if (count)
      due = std::min(due, count);
    if (due - next > kDeviceQueue) {
      overrun_ += due - next - kDeviceQueue;
      next = due - kDeviceQueue;
    }
    const uint64_t microframe = elapsedUS / kMicroframeUS;
    if (microframe != lastMicroframe) {
      lastMicroframe = microframe;
      sentInMicroframe = 0;
    }
    for (; next < due && sentInMicroframe < kPerMicroframe;
         ++next, ++sent, ++sentInMicroframe)
      send_(Report(next));
    sent_ = sent;
    if (Clock::now() >= nextProgress) {
      wake();
      nextProgress = Clock::now() + std::chrono::milliseconds(50);
    }
    // The next report's time, or the next microframe's for one waiting.
    const auto nextDue =
        next < due
            ? start +
                  std::chrono::microseconds((microframe + 1) * kMicroframeUS)
            : start +
                  std::chrono::microseconds(next * 1000000 / uint64_t(rate));
    lock.lock();
    stopped_.wait_until(lock, nextDue, [this] { return stopping_; });
  }
  lock.unlock();
  running_ = false;
  wake();
}

} // namespace simulator
