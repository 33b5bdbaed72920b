#include "sim_replay/SimReplay.h"

#include <algorithm>
#include <cmath>

namespace hid::sim {

SimReplay::SimReplay(SimBackend &backend, DeviceID device,
                     std::vector<Report> reports, double speed, bool loop)
    : backend_(backend), behaviour_(backend.device(device)), device_(device),
      reports_(std::move(reports)),
      speed_(std::clamp(speed, kMinSpeed, kMaxSpeed)), loop_(loop),
      baseUS_(reports_.empty() ? 0 : reports_.front().timeUS),
      baseTime_(Clock::now()) {
  thread_ = std::thread(&SimReplay::run, this);
}

SimReplay::~SimReplay() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
  behaviour_.setReplayedLevels(std::nullopt);
}

void SimReplay::setSpeed(double speed) {
  {
    std::lock_guard lock(mutex_);
    const Clock::time_point now = Clock::now();
    if (!paused_) {
      baseUS_ = replayedAt(now);
      baseTime_ = now;
    }
    speed_ = std::clamp(speed, kMinSpeed, kMaxSpeed);
  }
  changed_.notify_all();
}

void SimReplay::setLoop(bool loop) {
  {
    std::lock_guard lock(mutex_);
    loop_ = loop;
  }
  changed_.notify_all();
}

void SimReplay::pause() {
  std::lock_guard lock(mutex_);
  if (paused_)
    return;
  baseUS_ = replayedAt(Clock::now());
  paused_ = true;
}

void SimReplay::resume() {
  {
    std::lock_guard lock(mutex_);
    if (!paused_)
      return;
    baseTime_ = Clock::now();
    paused_ = false;
  }
  changed_.notify_all();
}

void SimReplay::step() {
  {
    std::lock_guard lock(mutex_);
    if (!paused_)
      baseUS_ = replayedAt(Clock::now());
    paused_ = true;
    stepDue_ = true;
  }
  changed_.notify_all();
}

SimReplay::Progress SimReplay::progress() const {
  std::lock_guard lock(mutex_);
  Progress progress;
  progress.sent = next_;
  progress.total = reports_.size();
  progress.passes = passes_;
  progress.atUS = next_ > 0 ? reports_[next_ - 1].timeUS : baseUS_;
  progress.paused = paused_;
  progress.finished = finished_;
  return progress;
}

std::vector<int64_t> SimReplay::latenesses() const {
  std::lock_guard lock(mutex_);
  return latenesses_;
}

int64_t SimReplay::replayedAt(Clock::time_point now) const {
  const double elapsedUS =
      std::chrono::duration<double, std::micro>(now - baseTime_).count();
  return baseUS_ + std::llround(elapsedUS * speed_);
}

SimReplay::Clock::time_point SimReplay::dueOf(const Report &report) const {
  const double waitUS = double(report.timeUS - baseUS_) / speed_;
  return baseTime_ + std::chrono::microseconds(std::llround(waitUS));
}

void SimReplay::run() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (next_ == reports_.size()) {
      if (!loop_ || reports_.empty()) {
        finish();
        changed_.wait(lock, [this] { return stopping_; });
        return;
      }
      next_ = 0;
      ++passes_;
      baseUS_ = reports_.front().timeUS;
      baseTime_ = Clock::now();
    }
    if (stepDue_) {
      stepDue_ = false;
      baseUS_ = reports_[next_].timeUS;
      send(next_++);
      continue;
    }
    if (paused_) {
      changed_.wait(lock);
      continue;
    }
    const Clock::time_point due = dueOf(reports_[next_]);
    if (Clock::now() < due) {
      changed_.wait_until(lock, due);
      continue; // woken early or by a change: look again
    }
    if (latenesses_.size() < kMostLatenesses)
      latenesses_.push_back(
          std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() -
                                                                due)
              .count());
    send(next_++);
  }
}

void SimReplay::send(size_t i) {
  const Report &report = reports_[i];
  if (report.interfaceNumber == 1) {
    backend_.sendInputReport(device_, 1, report.bytes);
    return;
  }
  // A report shorter than the 4 ports leaves the rest low.
  std::vector<uint8_t> ports(4, 0);
  std::copy_n(report.bytes.begin(), std::min<size_t>(4, report.bytes.size()),
              ports.begin());
  uint32_t levels = 0;
  for (size_t port = 0; port < ports.size(); ++port)
    levels |= uint32_t(ports[port]) << (8 * port);
  behaviour_.setReplayedLevels(levels);
  if (levels_ != levels)
    backend_.sendInputReport(device_, 0, ports);
  levels_ = levels;
}

void SimReplay::finish() {
  finished_ = true;
}

} // namespace hid::sim
