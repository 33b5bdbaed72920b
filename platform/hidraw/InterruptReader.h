// The thread that reads the interrupt reports of every armed hidraw node.
//
// Each armed handle opens its node once more for reading alone (every open
// file of a hidraw node gets every report in a queue of its own, which the
// kernel keeps short), and hands that descriptor here with the writer of
// its report queue. One thread polls them all and reads each readable one
// until it is empty, at once, whatever the main thread is doing: a request
// that waits for its device, a modal alert, a long paint.
//
// A descriptor is the reader's until remove(), and stays open until the
// thread has let go of it (it holds a reference), so the thread never reads
// a closed or reused descriptor. When a read fails (the device is gone) the
// descriptor is dropped and gone() is called on the reader thread.
#ifndef PINWORTH_HIDRAW_INTERRUPT_READER_H
#define PINWORTH_HIDRAW_INTERRUPT_READER_H

#include "platform/InputReportQueue.h"
#include "platform/hidraw/FileDescriptor.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace hid::hidraw {

class InterruptReader {
public:
  InterruptReader();
  // Stops the thread and drops every descriptor.
  ~InterruptReader();
  InterruptReader(const InterruptReader &) = delete;
  InterruptReader &operator=(const InterruptReader &) = delete;

  // Reads fd into writer from now on; gone is called, on the reader thread,
  // once fd fails. Returns a key for remove().
  int add(std::shared_ptr<const FileDescriptor> fd,
          InputReportQueue::Writer writer, std::function<void()> gone);
  // The thread reads the descriptor no more once it wakes up next.
  void remove(int key);

private:
  struct Source {
    std::shared_ptr<const FileDescriptor> fd;
    InputReportQueue::Writer writer;
    std::function<void()> gone;
  };

  void run();
  void wake();

  std::mutex mutex_;
  std::map<int, Source> sources_;
  int nextKey_ = 1;
  bool stopping_ = false;
  FileDescriptor wakeUp_; // an eventfd
  std::thread thread_;
};

} // namespace hid::hidraw

#endif
