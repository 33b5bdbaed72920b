// Reads a capture, read-only. The file is read with pread() into a few
// blocks of records kept by the reader (kCachedBlocks of about 64 KiB),
// never mapped: a file another program cuts short, or whose pages a full
// file system cannot back, reads as records that do not check rather than
// ending the process with SIGBUS. The reader's heap holds the header, the
// interface table and those blocks, whatever the number of records. Opening
// counts the whole records and drops a torn tail (see
// docs/capture-format.md); record(i) then decodes record i in O(1), at once
// when it is near the record read before.
//
// A capture still being written grows: refresh() sees the records appended
// since. A file that is not a capture, or of a newer major version, is
// refused with the reason; so is one that is not a regular file. Plain C++
// and POSIX; one thread at a time.
//
// index() gives the rows before each index record of the file, so that a
// reader counts and finds rows without reading every record.
#ifndef PINWORTH_CAPTURE_CAPTURE_READER_H
#define PINWORTH_CAPTURE_CAPTURE_READER_H

#include "capture/CaptureFormat.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace capture {

class CaptureReader {
public:
  // An index record: where it is, and the rows before it.
  struct IndexEntry {
    uint64_t record = 0;
    uint64_t rowsBefore = 0;
  };

  // Whether a symbolic link at path is followed: the files of a folder of
  // the program's own never are.
  enum class Links { Follow, Refuse };

  // The capture at path, or none with the reason.
  static std::unique_ptr<CaptureReader> open(const std::string &path,
                                             std::string *error,
                                             Links links = Links::Follow);
  // The capture in size bytes at bytes, which must outlast the reader (a
  // fuzzer's input); refresh() changes nothing.
  static std::unique_ptr<CaptureReader>
  fromBytes(const uint8_t *bytes, size_t size, std::string *error);
  ~CaptureReader();
  CaptureReader(const CaptureReader &) = delete;
  CaptureReader &operator=(const CaptureReader &) = delete;

  const Header &header() const { return header_; }
  const std::vector<CaptureInterface> &interfaces() const {
    return interfaces_;
  }
  // Whether the table has an entry that does not check: the interfaces
  // from it on are not known, and records naming them have no device.
  bool tableDamaged() const { return tableDamaged_; }
  uint64_t recordCount() const { return recordCount_; }
  // The bytes after the last whole record that checks, which the reader
  // drops: a tail cut short or torn; 0 for a whole file.
  uint64_t droppedTailBytes() const;
  // Record i, 0 <= i < recordCount(); Corrupt past the end, or when the
  // file no longer holds it.
  Record record(uint64_t i) const;
  // The text of the event at i, from the EventText records after it.
  std::string eventText(uint64_t i) const;
  // The index records of slot 1, 2, ... as far as they hold together (see
  // docs/capture-format.md); empty for a file without them. A small read
  // for each, past the reader's blocks.
  std::vector<IndexEntry> index() const;

  // Sees what was appended since; false, with the reason, when the file can
  // no longer be read (the reader keeps what it had).
  bool refresh(std::string *error);

private:
  static constexpr size_t kBlockBytes = 64 << 10;
  static constexpr size_t kCachedBlocks = 4;

  // Records first to first + count - 1 as read from the file.
  struct Block {
    uint64_t first = 0;
    uint64_t count = 0;
    std::vector<uint8_t> bytes;
  };

  CaptureReader(int fd, const uint8_t *bytes, size_t size);
  bool load(std::string *error);
  void loadTable();
  // Reads up to size bytes at offset, as far as the file has them; returns
  // how many were read.
  size_t readUpTo(uint64_t offset, uint8_t *out, size_t size) const;
  // Reads size bytes at offset; false when the file has fewer there.
  bool readAt(uint64_t offset, uint8_t *out, size_t size) const;
  uint64_t recordsPerBlock() const { return kBlockBytes / header_.recordSize; }
  // The bytes of record i < recordCount_, null when they cannot be read.
  const uint8_t *recordBytes(uint64_t i) const;

  int fd_;               // -1 over borrowed bytes
  const uint8_t *bytes_; // the borrowed bytes
  uint64_t size_;
  Header header_;
  std::vector<CaptureInterface> interfaces_;
  bool tableDamaged_ = false;
  uint64_t recordsStart_ = 0;
  uint64_t recordCount_ = 0;
  mutable Block blocks_[kCachedBlocks];
  mutable size_t nextBlock_ = 0; // the block read over next
};

} // namespace capture

#endif
