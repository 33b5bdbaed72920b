#include "platform/simulated/SimKernelQueues.h"

#include <algorithm>

namespace hid::sim {

SimKernelQueues::SimKernelQueues() : reader_(&SimKernelQueues::run, this) {}

SimKernelQueues::~SimKernelQueues() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  readable_.notify_one();
  read_.notify_all();
  reader_.join();
}

int SimKernelQueues::open(int device, int interfaceNumber,
                          InputReportQueue::Writer writer) {
  std::lock_guard lock(mutex_);
  const int key = nextKey_++;
  queues_.emplace(key, Queue{device, interfaceNumber, {}, std::move(writer)});
  return key;
}

// A queue closed with reports in it is read as far as waitUntilRead() cares.
void SimKernelQueues::close(int key) {
  {
    std::lock_guard lock(mutex_);
    queues_.erase(key);
  }
  read_.notify_all();
}

void SimKernelQueues::closeDevice(int device) {
  {
    std::lock_guard lock(mutex_);
    std::erase_if(queues_, [device](const auto &entry) {
      return entry.second.device == device;
    });
  }
  read_.notify_all();
}

void SimKernelQueues::send(int device, int interfaceNumber,
                           const std::vector<uint8_t> &report) {
  {
    std::lock_guard lock(mutex_);
    const ReportTime sentAt = std::chrono::steady_clock::now();
    for (auto &[key, queue] : queues_) {
      if (queue.device != device || queue.interfaceNumber != interfaceNumber)
        continue;
      if (queue.reports.size() == kQueueSize)
        ++dropped_[{device, interfaceNumber}];
      else
        queue.reports.push_back({report, sentAt});
    }
  }
  readable_.notify_one();
}

uint64_t SimKernelQueues::dropped(int device, int interfaceNumber) const {
  std::lock_guard lock(mutex_);
  const auto found = dropped_.find({device, interfaceNumber});
  return found == dropped_.end() ? 0 : found->second;
}

bool SimKernelQueues::allRead() const {
  return !handingOn_ &&
         std::all_of(queues_.begin(), queues_.end(), [](const auto &entry) {
           return entry.second.reports.empty();
         });
}

void SimKernelQueues::waitUntilRead() {
  std::unique_lock lock(mutex_);
  read_.wait(lock, [this] { return stopping_ || allRead(); });
}

void SimKernelQueues::setReaderRest(std::chrono::microseconds rest) {
  std::lock_guard lock(mutex_);
  rest_ = rest;
}

// Takes everything queued at once, then hands it on outside the lock, so
// that senders never wait for the report queues; then rests, if told to,
// while the queues fill.
void SimKernelQueues::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    readable_.wait(lock, [this] { return stopping_ || !allRead(); });
    if (stopping_)
      return;
    std::vector<std::pair<InputReportQueue::Writer, std::deque<Sent>>> taken;
    for (auto &[key, queue] : queues_)
      if (!queue.reports.empty())
        taken.emplace_back(queue.writer, std::move(queue.reports));
    for (auto &[key, queue] : queues_)
      queue.reports.clear();
    handingOn_ = true;
    lock.unlock();
    for (auto &[writer, reports] : taken)
      for (const Sent &report : reports)
        writer.push(report.bytes.data(), report.bytes.size(), report.at);
    lock.lock();
    handingOn_ = false;
    read_.notify_all();
    readable_.wait_for(lock, rest_, [this] { return stopping_; });
  }
}

} // namespace hid::sim
