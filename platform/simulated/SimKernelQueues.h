// The kernel's side of the simulated devices' interrupt reports.
//
// For every open handle with a handler there is a queue of at most
// kQueueSize reports, as hidraw keeps for every open file. The device fills
// the queues of its interface, from any thread; a reader thread empties
// them into the handles' report queues at once, as the hidraw backend's
// reader does. A full queue drops the report that arrives, as hidraw does,
// and nobody downstream can tell; the count is kept here for the simulator.
// The reader can be made to rest after each pass, as a reader on a busy
// machine is late, so that a fast device overflows the queues. It runs at
// normal priority: the simulated devices are threads of the same machine,
// and a real-time reader would preempt them at every report they send.
#ifndef PINWORTH_SIM_SIM_KERNEL_QUEUES_H
#define PINWORTH_SIM_SIM_KERNEL_QUEUES_H

#include "platform/InputReportQueue.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace hid::sim {

class SimKernelQueues {
public:
  static constexpr size_t kQueueSize = 64;

  SimKernelQueues();
  // Stops the reader; reports still queued go nowhere.
  ~SimKernelQueues();
  SimKernelQueues(const SimKernelQueues &) = delete;
  SimKernelQueues &operator=(const SimKernelQueues &) = delete;

  // A queue for the interface of device, read into writer; returns its key.
  int open(int device, int interfaceNumber, InputReportQueue::Writer writer);
  // The queue and what it holds go; a key closed already is ignored.
  void close(int key);
  void closeDevice(int device);

  // The device sends a report to every queue of its interface, which
  // stamps it with the time. Any thread.
  void send(int device, int interfaceNumber,
            const std::vector<uint8_t> &report);
  // Reports dropped by full queues of the interface.
  uint64_t dropped(int device, int interfaceNumber) const;
  // Returns once the reader has handed on every report queued so far, so
  // that a burst longer than a queue can be paced as a device paces it.
  void waitUntilRead();
  // How long the reader rests after each pass; zero reads at once.
  void setReaderRest(std::chrono::microseconds rest);

private:
  // A report as the queue took it: the time it was sent is the time a
  // reader of the node would have read it.
  struct Sent {
    std::vector<uint8_t> bytes;
    ReportTime at;
  };
  struct Queue {
    int device;
    int interfaceNumber;
    std::deque<Sent> reports;
    InputReportQueue::Writer writer;
  };

  void run();

  bool allRead() const; // with mutex_ held

  mutable std::mutex mutex_;
  std::condition_variable readable_;
  std::condition_variable read_;
  bool handingOn_ = false;
  std::map<int, Queue> queues_;
  std::map<std::pair<int, int>, uint64_t> dropped_;
  int nextKey_ = 1;
  bool stopping_ = false;
  std::chrono::microseconds rest_{0};
  std::thread reader_;
};

} // namespace hid::sim

#endif
