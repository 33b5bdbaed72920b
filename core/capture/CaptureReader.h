// Reads a capture, read-only, through a shared memory map of the file: the
// file's pages are the kernel's to keep or drop, and the reader's own heap
// holds only the header and the interface table, whatever the number of
// records. Opening counts the whole records and drops a torn tail (see
// docs/capture-format.md); record(i) then decodes record i in O(1).
//
// A capture still being written grows: refresh() maps it again and sees the
// records appended since. A file that is not a capture, or of a newer major
// version, is refused with the reason.
//
// The map assumes the file only grows while it is open, as a writer leaves
// it; a file cut shorter by someone else under an open reader ends it with
// SIGBUS, as any mapped file does. Plain C++ and POSIX; one thread at a
// time.
#ifndef PINWORTH_CAPTURE_CAPTURE_READER_H
#define PINWORTH_CAPTURE_CAPTURE_READER_H

#include "core/capture/CaptureFormat.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace capture {

class CaptureReader {
public:
  // The capture at path, or none with the reason.
  static std::unique_ptr<CaptureReader> open(const std::string &path,
                                             std::string *reason);
  // The capture in size bytes at bytes, which must outlast the reader (a
  // fuzzer's input); refresh() changes nothing.
  static std::unique_ptr<CaptureReader>
  fromBytes(const uint8_t *bytes, size_t size, std::string *reason);
  ~CaptureReader();
  CaptureReader(const CaptureReader &) = delete;
  CaptureReader &operator=(const CaptureReader &) = delete;

  const Header &header() const { return header_; }
  const std::vector<CaptureInterface> &interfaces() const {
    return interfaces_;
  }
  uint64_t recordCount() const { return recordCount_; }
  // Record i, 0 <= i < recordCount().
  Record record(uint64_t i) const;
  // The text of the event at i, from the EventText records after it.
  std::string eventText(uint64_t i) const;
  // Gives back to the kernel the process's map of the pages that hold only
  // records first to end - 1 (a walk is past them); the next read of them
  // maps them again.
  void release(uint64_t first, uint64_t end) const;

  // Sees what was appended since; false, with the reason, when the file can
  // no longer be read (the reader keeps what it had).
  bool refresh(std::string *reason);

private:
  CaptureReader(int fd, const uint8_t *bytes, size_t size);
  bool load(std::string *reason);

  int fd_; // -1 over borrowed bytes
  const uint8_t *bytes_;
  size_t size_;
  Header header_;
  std::vector<CaptureInterface> interfaces_;
  uint64_t recordsStart_ = 0;
  uint64_t recordCount_ = 0;
};

} // namespace capture

#endif
