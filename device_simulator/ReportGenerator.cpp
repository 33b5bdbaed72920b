#include "device_simulator/ReportGenerator.h"

#include "platform/PinworthProtocol.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <sys/eventfd.h>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

namespace {

std::vector<uint8_t> Report(uint64_t sequence) {
  std::vector<uint8_t> report(pinworth::kInterface1ReportSize, 0);
  report[0] = pinworth::kInfraredReport;
  report[1] = uint8_t(sequence >> 8);
  report[2] = uint8_t(sequence);
  return report;
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

void ReportGenerator::start(int rate, uint64_t count) {
  stop();
  stopping_ = false;
  sent_ = 0;
  running_ = true;
  thread_ = std::thread(&ReportGenerator::run, this,
                        std::clamp(rate, kMinRate, kMaxRate), count);
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

// Each wake-up sends every report due by then, so the rate holds on average
// whatever the sleep's granularity.
void ReportGenerator::run(int rate, uint64_t count) {
  const Clock::time_point start = Clock::now();
  Clock::time_point nextProgress = start;
  uint64_t sent = 0;
  std::unique_lock lock(mutex_);
  while (!stopping_ && (count == 0 || sent < count)) {
    lock.unlock();
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
        Clock::now() - start);
    uint64_t due = uint64_t(elapsed.count()) * uint64_t(rate) / 1000000 + 1;
    if (count)
      due = std::min(due, count);
    for (; sent < due; ++sent)
      send_(Report(sent));
    sent_ = sent;
    if (Clock::now() >= nextProgress) {
      wake();
      nextProgress = Clock::now() + std::chrono::milliseconds(50);
    }
    const auto next =
        start + std::chrono::microseconds(sent * 1000000 / uint64_t(rate));
    lock.lock();
    stopped_.wait_until(lock, next, [this] { return stopping_; });
  }
  lock.unlock();
  running_ = false;
  wake();
}
