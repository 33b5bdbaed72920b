// A process that writes a capture until it is killed: a report every 100 us
// whose time is the monotonic clock's (microseconds) and whose 7 data bytes
// are its sequence number, from 0. Prints "writing" once the first batch is
// in the file.
#include "capture/CaptureWriter.h"

#include <cstdio>
#include <ctime>

namespace {

int64_t MonotonicUS() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: capture_writer_helper FILE\n");
    return 2;
  }
  std::string reason;
  const auto writer = capture::CaptureWriter::create(argv[1], &reason);
  if (!writer) {
    std::fprintf(stderr, "%s\n", reason.c_str());
    return 1;
  }
  bool announced = false;
  for (uint64_t sequence = 0;; ++sequence) {
    uint8_t data[7];
    for (int i = 0; i < 7; ++i)
      data[i] = uint8_t(sequence >> (8 * i));
    writer->appendReport(false, capture::kNoSource, MonotonicUS(), std::nullopt,
                         data, 7);
    if (!announced && writer->status().written > 0) {
      std::puts("writing");
      std::fflush(stdout);
      announced = true;
    }
    const timespec pause{0, 100000};
    nanosleep(&pause, nullptr);
  }
}
