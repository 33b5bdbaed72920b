// Writes a capture as its log grows. The caller appends records from one
// thread (the main thread): each append copies 24 bytes into a batch under
// a mutex, with no system call. A thread of the writer's own writes the
// batch to the file at least every kFlushInterval and syncs the file's data
// at most once every kSyncInterval, so that a crash or kill -9 loses at most
// the last kFlushInterval of records and a power loss the last second. The
// batch holds what is appended between two writes: 100 ms of 24,000
// reports a second is 58 KB. Each append is one row; an index record goes
// before the first row at or after each kIndexInterval records.
//
// The writer holds an exclusive lock on the file for its whole life: a
// second writer of the same file is refused. The file is created, or
// emptied, with mode 0600; a file it created is removed again when it cannot
// be made a capture.
//
// When a write fails (the disk full, the file too large, an input/output
// error), the writer stops writing for good: what it wrote stays, status()
// says why, a "disk writing stopped" record goes after the last whole
// record, and every record appended from then on is counted as not
// written. Room for that record is kept: a batch the disk or the file-size
// limit has no room for is cut to the records that leave it (the disk's
// room is allocated ahead with fallocate, where the file system can). A process
// that limits its file size must ignore SIGXFSZ to see such a failure rather
// than die of it.
//
// Plain C++ and POSIX. Destruction closes it when close() did not.
#ifndef PINWORTH_CAPTURE_CAPTURE_WRITER_H
#define PINWORTH_CAPTURE_CAPTURE_WRITER_H

#include "capture/CaptureFormat.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace capture {

class CaptureWriter {
public:
  static constexpr std::chrono::milliseconds kFlushInterval{50};
  static constexpr std::chrono::milliseconds kSyncInterval{1000};

  struct Status {
    bool failed = false;
    int errorNumber = 0;  // errno of the failure
    std::string error;    // "could not write FILE: No space left on device"
    uint64_t written = 0; // records in the file
    uint64_t reportsWritten = 0; // of them, reports read or written
    uint64_t notWritten = 0;     // records appended that never will be
  };

  // A new capture at path, begun now (or at startUnixUS, microseconds since
  // 1970, for a recording made elsewhere); none, with the reason, when the
  // file cannot be created or another writer has it.
  static std::unique_ptr<CaptureWriter>
  create(const std::string &path, std::string *error,
         std::optional<int64_t> startUnixUS = std::nullopt);
  ~CaptureWriter();
  CaptureWriter(const CaptureWriter &) = delete;
  CaptureWriter &operator=(const CaptureWriter &) = delete;

  // Microseconds since the capture began, on the monotonic clock: the time
  // base of every record.
  int64_t elapsedUS() const { return timeUS(std::chrono::steady_clock::now()); }
  // The time of at, a time of the monotonic clock, in the capture: a report
  // is recorded at the time it was read.
  int64_t timeUS(std::chrono::steady_clock::time_point at) const {
    return std::chrono::duration_cast<std::chrono::microseconds>(at - start_)
        .count();
  }

  // Adds an interface to the file's table; returns its source index, or
  // kNoSource when the table is full.
  uint16_t addInterface(const CaptureInterface &interface);

  void appendReport(bool written, uint16_t source, int64_t timeUS,
                    std::optional<uint8_t> reportID, const uint8_t *data,
                    int size);
  void appendLoss(uint16_t source, int64_t timeUS, uint32_t count);
  void appendEvent(uint16_t source, int64_t timeUS, EventKind kind,
                   const std::string &text = {});

  Status status() const;
  // Returns once every record appended before the call is in the file (or
  // writing stopped): for a copy of the file that misses none.
  void flush();
  // Writes what is pending, syncs and stops writing; returns the final
  // status. Records appended after it count as not written.
  Status close();

private:
  struct TableEntry {
    uint64_t offset;
    std::vector<uint8_t> bytes;
  };

  CaptureWriter(int fd, std::string path, uint64_t recordsStart);
  void append(const uint8_t *bytes, size_t size, uint64_t records);
  void run();
  void writeOut(const std::vector<TableEntry> &entries,
                const std::vector<uint8_t> &batch);
  // How many of count records fit at the file's end with a "writing
  // stopped" record after them (count when the file system cannot tell);
  // when fewer, error says why.
  uint64_t recordsThatFit(uint64_t count, int *error);
  bool writeAll(const uint8_t *bytes, size_t size, uint64_t offset);
  // Stops writing for good after error; recordsLost were not written.
  void stop(int error, uint64_t recordsLost);

  const int fd_;
  const std::string path_;
  const uint64_t recordsStart_;
  const std::chrono::steady_clock::time_point start_;

  // The caller's side.
  uint32_t tableUsed_ = 0;
  uint16_t interfaceCount_ = 0;

  // Shared with the writing thread, under mutex_.
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable flushed_;
  uint64_t flushesAsked_ = 0;
  uint64_t flushesDone_ = 0;
  std::vector<uint8_t> pending_;
  std::vector<TableEntry> pendingEntries_;
  uint64_t recordsAppended_ = 0; // index records among them
  uint64_t rowsAppended_ = 0;
  uint64_t nextIndexAt_ = kIndexInterval;
  bool stopping_ = false;
  Status status_;

  // The writing thread's own.
  uint64_t fileEnd_;
  std::thread thread_;
};

} // namespace capture

#endif
