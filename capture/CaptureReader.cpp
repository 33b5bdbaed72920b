#include "capture/CaptureReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace capture {
namespace {

std::string Because(const std::string &what, const std::string &path,
                    int error) {
  return "could not " + what + " " + path + ": " + std::strerror(error);
}

// The file's size, or -1 with errno.
off_t FileSize(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0)
    return -1;
  if (!S_ISREG(info.st_mode)) {
    errno = EINVAL;
    return -1;
  }
  return info.st_size;
}

} // namespace

std::unique_ptr<CaptureReader>
CaptureReader::open(const std::string &path, std::string *error, Links links) {
  // Not blocking: a FIFO named by mistake is refused, not waited on.
  const int fd =
      ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK |
                               (links == Links::Refuse ? O_NOFOLLOW : 0));
  if (fd < 0) {
    *error = errno == ELOOP && links == Links::Refuse
                 ? path + " is a symbolic link"
                 : Because("open", path, errno);
    return nullptr;
  }
  const off_t size = FileSize(fd);
  if (size < 0) {
    *error = errno == EINVAL ? path + " is not a regular file"
                             : Because("read", path, errno);
    ::close(fd);
    return nullptr;
  }
  std::unique_ptr<CaptureReader> reader(
      new CaptureReader(fd, nullptr, uint64_t(size)));
  if (!reader->load(error))
    return nullptr;
  return reader;
}

std::unique_ptr<CaptureReader> CaptureReader::fromBytes(const uint8_t *bytes,
                                                        size_t size,
                                                        std::string *error) {
  std::unique_ptr<CaptureReader> reader(new CaptureReader(-1, bytes, size));
  if (!reader->load(error))
    return nullptr;
  return reader;
}

CaptureReader::CaptureReader(int fd, const uint8_t *bytes, size_t size)
    : fd_(fd), bytes_(bytes), size_(size) {}

CaptureReader::~CaptureReader() {
  if (fd_ >= 0)
    ::close(fd_);
}

size_t CaptureReader::readUpTo(uint64_t offset, uint8_t *out,
                               size_t size) const {
  if (offset >= size_)
    return 0;
  size = size_t(std::min<uint64_t>(size, size_ - offset));
  if (fd_ < 0) {
    std::memcpy(out, bytes_ + offset, size);
    return size;
  }
  size_t done = 0;
  while (done < size) {
    const ssize_t n =
        ::pread(fd_, out + done, size - done, off_t(offset + done));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    done += size_t(n);
  }
  return done;
}

bool CaptureReader::readAt(uint64_t offset, uint8_t *out, size_t size) const {
  return readUpTo(offset, out, size) == size;
}

bool CaptureReader::load(std::string *error) {
  uint8_t head[kHeaderSize] = {};
  const size_t headSize = size_t(std::min<uint64_t>(size_, kHeaderSize));
  errno = 0;
  if (!readAt(0, head, headSize)) {
    *error = std::string("could not read the capture: ") +
             std::strerror(errno ? errno : EIO);
    return false;
  }
  const std::optional<Header> header = DecodeHeader(head, headSize, error);
  if (!header)
    return false;
  header_ = *header;
  recordsStart_ = uint64_t(header_.headerSize) + header_.tableSize;
  loadTable();
  for (Block &block : blocks_)
    block.count = 0;
  recordCount_ =
      size_ > recordsStart_ ? (size_ - recordsStart_) / header_.recordSize : 0;
  // A cut record is not whole; a zeroed or half-written one does not check.
  while (recordCount_ > 0) {
    const uint8_t *last = recordBytes(recordCount_ - 1);
    if (!last) { // unreadable: only the records before its block count
      recordCount_ = (recordCount_ - 1) / recordsPerBlock() * recordsPerBlock();
      continue;
    }
    if (RecordChecks(last))
      break;
    --recordCount_;
  }
  return true;
}

uint64_t CaptureReader::droppedTailBytes() const {
  const uint64_t wholeEnd = recordsStart_ + recordCount_ * header_.recordSize;
  return size_ > wholeEnd ? size_ - wholeEnd : 0;
}

void CaptureReader::loadTable() {
  interfaces_.clear();
  tableDamaged_ = false;
  const uint64_t end = std::min(recordsStart_, size_);
  std::vector<uint8_t> entry;
  for (uint64_t at = header_.headerSize; at + kEntrySizeBytes <= end;) {
    uint8_t sizeBytes[kEntrySizeBytes];
    if (!readAt(at, sizeBytes, sizeof sizeBytes))
      break;
    const size_t entrySize = EntrySize(sizeBytes);
    if (entrySize == 0) // the table's end
      return;
    entry.resize(entrySize);
    std::optional<CaptureInterface> interface;
    if (at + entrySize <= end && readAt(at, entry.data(), entrySize))
      interface = DecodeEntry(entry.data(), entrySize);
    if (!interface) { // it does not check, or runs past the table or file
      tableDamaged_ = true;
      return;
    }
    interfaces_.push_back(std::move(*interface));
    at += entrySize;
  }
}

const uint8_t *CaptureReader::recordBytes(uint64_t i) const {
  const uint64_t offset = recordsStart_ + i * header_.recordSize;
  if (fd_ < 0)
    return offset + header_.recordSize <= size_ ? bytes_ + offset : nullptr;
  for (const Block &block : blocks_)
    if (i >= block.first && i - block.first < block.count)
      return block.bytes.data() + (i - block.first) * header_.recordSize;
  // Read the block of records that holds i, as far as the records counted.
  const uint64_t perBlock = recordsPerBlock();
  Block &block = blocks_[nextBlock_];
  nextBlock_ = (nextBlock_ + 1) % kCachedBlocks;
  block.first = i / perBlock * perBlock;
  block.count = std::min(perBlock, recordCount_ - block.first);
  block.bytes.resize(size_t(block.count * header_.recordSize));
  block.count = readUpTo(recordsStart_ + block.first * header_.recordSize,
                         block.bytes.data(), block.bytes.size()) /
                header_.recordSize;
  return i - block.first < block.count
             ? block.bytes.data() + (i - block.first) * header_.recordSize
             : nullptr;
}

Record CaptureReader::record(uint64_t i) const {
  const uint8_t *bytes = i < recordCount_ ? recordBytes(i) : nullptr;
  return bytes ? DecodeRecord(bytes) : Record{};
}

std::string CaptureReader::eventText(uint64_t i) const {
  const Record event = record(i);
  std::string text;
  if (event.kind != RecordKind::Event)
    return text;
  for (uint64_t j = i + 1; j <= i + event.textRecords; ++j) {
    const Record part = record(j);
    if (part.kind != RecordKind::EventText)
      break;
    text.append(reinterpret_cast<const char *>(part.data.data()), part.size);
  }
  return text;
}

std::vector<CaptureReader::IndexEntry> CaptureReader::index() const {
  std::vector<IndexEntry> entries;
  IndexEntry before; // the file's start: no rows, no records
  uint64_t recordsBefore = 0;
  std::vector<uint8_t> slot(size_t(kMaxTextRecords + 1) * header_.recordSize);
  for (uint64_t first = kIndexInterval; first < recordCount_;
       first += kIndexInterval) {
    const uint64_t count =
        std::min<uint64_t>(kMaxTextRecords + 1, recordCount_ - first);
    const size_t read =
        readUpTo(recordsStart_ + first * header_.recordSize, slot.data(),
                 size_t(count * header_.recordSize)) /
        header_.recordSize;
    std::optional<IndexEntry> found;
    for (size_t i = 0; i < read && !found; ++i) {
      const Record record = DecodeRecord(slot.data() + i * header_.recordSize);
      if (record.kind == RecordKind::Index)
        found = IndexEntry{first + i, record.rowsBefore};
    }
    if (!found || found->rowsBefore < before.rowsBefore ||
        found->rowsBefore - before.rowsBefore > found->record - recordsBefore)
      break;
    entries.push_back(*found);
    before = *found;
    recordsBefore = found->record + 1;
  }
  return entries;
}

bool CaptureReader::refresh(std::string *error) {
  if (fd_ < 0)
    return true;
  const off_t size = FileSize(fd_);
  if (size < 0) {
    *error = std::strerror(errno);
    return false;
  }
  if (uint64_t(size) <= size_)
    return true;
  size_ = uint64_t(size);
  return load(error);
}

} // namespace capture
