#include "platform/hidraw/InterruptReader.h"

#include "descriptor/ReportDescriptor.h"
#include "platform/ReaderPriority.h"

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace hid::hidraw {

namespace {

// The largest report hidraw hands over, report number included.
constexpr size_t kMaxReportSize = descriptor::kMaxReportBytes;
// The reports hidraw queues for each open file.
constexpr int kMostReadsPerTurn = 64;

} // namespace

InterruptReader::InterruptReader()
    : wakeUp_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

InterruptReader::~InterruptReader() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake();
  if (thread_.joinable())
    thread_.join();
}

int InterruptReader::add(std::shared_ptr<const FileDescriptor> fd,
                         InputReportQueue::Writer writer,
                         std::function<void()> gone) {
  int key = 0;
  {
    std::lock_guard lock(mutex_);
    key = nextKey_++;
    sources_.emplace(key,
                     Source{std::move(fd), std::move(writer), std::move(gone)});
    if (!thread_.joinable())
      thread_ = std::thread(&InterruptReader::run, this);
  }
  wake();
  return key;
}

void InterruptReader::remove(int key) {
  {
    std::lock_guard lock(mutex_);
    sources_.erase(key);
  }
  wake();
}

void InterruptReader::wake() {
  const uint64_t one = 1;
  while (::write(wakeUp_.get(), &one, sizeof one) < 0 && errno == EINTR) {
  }
}

// Polls the descriptors as they are at each turn; a source removed while its
// descriptor is read is read to the end of that turn, with its own
// references, then dropped.
void InterruptReader::run() {
  RaiseReaderPriority();
  std::vector<uint8_t> buffer(kMaxReportSize);
  for (;;) {
    std::vector<std::pair<int, Source>> watched;
    {
      std::lock_guard lock(mutex_);
      if (stopping_)
        return;
      watched.assign(sources_.begin(), sources_.end());
    }
    std::vector<pollfd> polled{{wakeUp_.get(), POLLIN, 0}};
    for (const auto &[key, source] : watched)
      polled.push_back({source.fd->get(), POLLIN, 0});
    if (::poll(polled.data(), polled.size(), -1) < 0 && errno != EINTR)
      return;
    if (polled[0].revents & POLLIN) {
      uint64_t count;
      while (::read(wakeUp_.get(), &count, sizeof count) > 0) {
      }
    }
    for (size_t i = 1; i < polled.size(); ++i) {
      if (!polled[i].revents)
        continue;
      Source &source = watched[i - 1].second;
      // At most what the kernel queues for an open file: the rest, if more
      // came meanwhile, at the next turn, after the other descriptors.
      for (int reads = 0; reads < kMostReadsPerTurn; ++reads) {
        const ssize_t count =
            ::read(source.fd->get(), buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR)
          continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
          break;
        if (count <= 0) {
          // hidraw fails a read only once its device is gone.
          remove(watched[i - 1].first);
          source.gone();
          break;
        }
        source.writer.push(buffer.data(), size_t(count),
                           std::chrono::steady_clock::now());
      }
    }
  }
}

} // namespace hid::hidraw
