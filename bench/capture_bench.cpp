// The capture file's costs, printed, on synthetic captures the bench writes
// in /tmp and removes:
// - file bytes per 8-byte report (a report ID and 7 data bytes), the
//   records alone and the whole file with its header and interface table;
// - appending 10^6 reports through the writer: wall time, and the main
//   thread's CPU per report (the writing thread's work is its own);
// - opening captures of 10^7 and 10^8 records with the reader: the time to
//   open, and the heap and resident memory it adds, with the file's pages
//   dropped from the cache first (10^8 is skipped, saying so, with less than
//   6 GB free in /tmp).
//
//   capture_bench
#include "bench/ResidentBytes.h"
#include "capture/CaptureReader.h"
#include "capture/CaptureWriter.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <malloc.h>
#include <string>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace capture;

namespace {

constexpr uint64_t kNeededForLargest = 6ull << 30;

size_t HeapBytes() {
  return mallinfo2().uordblks;
}

double Seconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

uint64_t FileBytes(const std::string &path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  const off_t size = ::lseek(fd, 0, SEEK_END);
  ::close(fd);
  return uint64_t(size);
}

// Drops the file's pages from the page cache, as after a restart.
void DropCache(const std::string &path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  ::fdatasync(fd);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  ::close(fd);
}

uint64_t FreeBytes(const char *folder) {
  struct statvfs info {};
  if (::statvfs(folder, &info) != 0)
    return 0;
  return uint64_t(info.f_bavail) * info.f_frsize;
}

struct Written {
  double wallSeconds;
  double mainCpuSeconds;
};

// count reports from one interface 1 into a new capture at path.
Written WriteCapture(const std::string &path, uint64_t count) {
  std::string reason;
  auto writer = CaptureWriter::create(path, &reason);
  if (!writer) {
    std::fprintf(stderr, "capture_bench: %s\n", reason.c_str());
    std::exit(1);
  }
  const uint16_t source = writer->addInterface(
      CaptureInterface{1, 1000, 0, {0x06, 0x00, 0xFF, 0x09, 0x01}});
  const double wall = Seconds(CLOCK_MONOTONIC);
  const double cpu = Seconds(CLOCK_THREAD_CPUTIME_ID);
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t data[7] = {
        uint8_t(i), uint8_t(i >> 8), uint8_t(i >> 16), uint8_t(i >> 24), 0, 0,
        0};
    writer->appendReport(false, source, int64_t(i * 125), uint8_t(0x0C), data,
                         7);
  }
  const double mainCpu = Seconds(CLOCK_THREAD_CPUTIME_ID) - cpu;
  const CaptureWriter::Status status = writer->close();
  if (status.failed || status.written != count) {
    std::fprintf(stderr, "capture_bench: %s\n", status.error.c_str());
    std::exit(1);
  }
  return Written{Seconds(CLOCK_MONOTONIC) - wall, mainCpu};
}

void MeasureOpen(const std::string &path, uint64_t count) {
  WriteCapture(path, count);
  DropCache(path);
  const size_t heap = HeapBytes();
  const size_t resident = ResidentBytes();
  const double start = Seconds(CLOCK_MONOTONIC);
  std::string reason;
  const auto reader = CaptureReader::open(path, &reason);
  const double opened = Seconds(CLOCK_MONOTONIC) - start;
  if (!reader || reader->recordCount() != count) {
    std::fprintf(stderr, "capture_bench: %s\n", reason.c_str());
    std::exit(1);
  }
  const Record last = reader->record(count - 1);
  std::printf("%-12.0e %12.1f %16zu %16zu %16zu %16.1f\n", double(count),
              double(FileBytes(path)) / 1e6, HeapBytes() - heap,
              ResidentBytes(), ResidentBytes() - resident, opened * 1e3);
  if (last.timeUS != int64_t((count - 1) * 125))
    std::printf("  last record read back wrong\n");
}

} // namespace

int main() {
  const std::string folder = "/tmp";
  const std::string path =
      folder + "/capture_bench." + std::to_string(::getpid()) + ".pwcap";

  constexpr uint64_t kMillion = 1000000;
  const Written written = WriteCapture(path, kMillion);
  const uint64_t bytes = FileBytes(path);
  std::printf("File bytes per 8-byte report: %.1f (records alone), %.2f "
              "(whole file of 10^6 reports)\n",
              double(bytes - kHeaderSize - kDefaultTableSize) / kMillion,
              double(bytes) / kMillion);
  std::printf("Appending 10^6 reports through the writer: %.0f ms wall, "
              "%.1f ns main-thread CPU per report\n",
              written.wallSeconds * 1e3,
              written.mainCpuSeconds * 1e9 / kMillion);

  std::printf("\n%-12s %12s %16s %16s %16s %16s\n", "records", "file MB",
              "heap added B", "RSS after B", "RSS added B", "open ms");
  MeasureOpen(path, 10 * kMillion);
  ::unlink(path.c_str());
  if (FreeBytes(folder.c_str()) < kNeededForLargest)
    std::printf("1e+08: skipped, less than 6 GB free in %s\n", folder.c_str());
  else
    MeasureOpen(path, 100 * kMillion);
  ::unlink(path.c_str());
  return 0;
}
