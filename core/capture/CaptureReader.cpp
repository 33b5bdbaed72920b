#include "core/capture/CaptureReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
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

const uint8_t *Map(int fd, size_t size) {
  if (size == 0)
    return nullptr;
  void *map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  return map == MAP_FAILED ? nullptr : static_cast<const uint8_t *>(map);
}

} // namespace

std::unique_ptr<CaptureReader> CaptureReader::open(const std::string &path,
                                                   std::string *reason) {
  // Not blocking: a FIFO named by mistake is refused, not waited on.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    *reason = Because("open", path, errno);
    return nullptr;
  }
  const off_t size = FileSize(fd);
  const uint8_t *bytes = size > 0 ? Map(fd, size_t(size)) : nullptr;
  if (size < 0 || (size > 0 && !bytes)) {
    *reason = errno == EINVAL ? path + " is not a regular file"
                              : Because("read", path, errno);
    ::close(fd);
    return nullptr;
  }
  std::unique_ptr<CaptureReader> reader(
      new CaptureReader(fd, bytes, size_t(size)));
  if (!reader->load(reason))
    return nullptr;
  return reader;
}

std::unique_ptr<CaptureReader> CaptureReader::fromBytes(const uint8_t *bytes,
                                                        size_t size,
                                                        std::string *reason) {
  std::unique_ptr<CaptureReader> reader(new CaptureReader(-1, bytes, size));
  if (!reader->load(reason))
    return nullptr;
  return reader;
}

CaptureReader::CaptureReader(int fd, const uint8_t *bytes, size_t size)
    : fd_(fd), bytes_(bytes), size_(size) {}

CaptureReader::~CaptureReader() {
  if (fd_ < 0)
    return;
  if (bytes_)
    ::munmap(const_cast<uint8_t *>(bytes_), size_);
  ::close(fd_);
}

bool CaptureReader::load(std::string *reason) {
  const std::optional<Header> header = DecodeHeader(bytes_, size_, reason);
  if (!header)
    return false;
  header_ = *header;
  const uint64_t tableStart = header_.headerSize;
  recordsStart_ = tableStart + header_.tableSize;
  if (size_ > tableStart)
    interfaces_ = DecodeTable(
        bytes_ + tableStart,
        size_t(std::min<uint64_t>(header_.tableSize, size_ - tableStart)));
  recordCount_ =
      size_ > recordsStart_ ? (size_ - recordsStart_) / header_.recordSize : 0;
  // A cut record is not whole; a zeroed or half-written one does not check.
  while (recordCount_ > 0 &&
         !RecordChecks(bytes_ + recordsStart_ +
                       (recordCount_ - 1) * header_.recordSize))
    --recordCount_;
  return true;
}

Record CaptureReader::record(uint64_t i) const {
  if (i >= recordCount_)
    return Record{};
  return DecodeRecord(bytes_ + recordsStart_ + i * header_.recordSize);
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

bool CaptureReader::refresh(std::string *reason) {
  if (fd_ < 0)
    return true;
  const off_t size = FileSize(fd_);
  if (size < 0) {
    *reason = std::strerror(errno);
    return false;
  }
  if (size_t(size) <= size_)
    return true;
  const uint8_t *bytes = Map(fd_, size_t(size));
  if (!bytes) {
    *reason = std::strerror(errno);
    return false;
  }
  if (bytes_)
    ::munmap(const_cast<uint8_t *>(bytes_), size_);
  bytes_ = bytes;
  size_ = size_t(size);
  return load(reason);
}

void CaptureReader::release(uint64_t first, uint64_t end) const {
  if (fd_ < 0 || end <= first)
    return;
  const auto page = uint64_t(::sysconf(_SC_PAGESIZE));
  const uint64_t from =
      (recordsStart_ + first * kRecordSize + page - 1) / page * page;
  const uint64_t to = (recordsStart_ + end * kRecordSize) / page * page;
  if (to > from)
    ::madvise(const_cast<uint8_t *>(bytes_) + from, to - from, MADV_DONTNEED);
}

} // namespace capture
