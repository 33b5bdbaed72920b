#include "ReportGenerator.h"

#include "platform/PinworthProtocol.h"

#include <algorithm>
#include <chrono>

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

ReportGenerator::ReportGenerator(Send send, Progress progress)
    : send_(std::move(send)), progress_(std::move(progress)) {}

ReportGenerator::~ReportGenerator() {
  stop();
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
  wake_.notify_all();
  if (thread_.joinable())
    thread_.join();
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
    const auto elapsed = Clock::now() - start;
    uint64_t due =
        uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(elapsed)
                     .count()) *
            uint64_t(rate) / 1000000 +
        1;
    if (count)
      due = std::min(due, count);
    for (; sent < due; ++sent)
      send_(Report(sent));
    sent_ = sent;
    if (Clock::now() >= nextProgress) {
      progress_(sent, true);
      nextProgress = Clock::now() + std::chrono::milliseconds(50);
    }
    const auto next =
        start + std::chrono::microseconds(sent * 1000000 / uint64_t(rate));
    lock.lock();
    wake_.wait_until(lock, next, [this] { return stopping_; });
  }
  lock.unlock();
  running_ = false;
  progress_(sent, false);
}
