#include "capture/CaptureWriter.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace capture {
namespace {

std::string Because(const std::string &what, const std::string &path,
                    int error) {
  return "could not " + what + " " + path + ": " + std::strerror(error);
}

int64_t UnixMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

} // namespace

std::unique_ptr<CaptureWriter>
CaptureWriter::create(const std::string &path, std::string *error,
                      std::optional<int64_t> startUnixUS) {
  // A file made here goes again when it cannot become a capture (a full
  // disk, a file-size limit): no empty file is left for a reader to take for
  // one.
  bool made = true;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0 && errno == EEXIST) {
    made = false;
    fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  }
  if (fd < 0) {
    *error = Because("create", path, errno);
    return nullptr;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int lockError = errno;
    ::close(fd);
    *error = lockError == EWOULDBLOCK
                 ? "could not write " + path +
                       ": another program is writing this capture"
                 : Because("lock", path, lockError);
    return nullptr;
  }
  Header header;
  header.startUnixUS = startUnixUS.value_or(UnixMicroseconds());
  const auto bytes = EncodeHeader(header);
  const uint64_t recordsStart = uint64_t(header.headerSize) + header.tableSize;
  errno = 0; // a short write sets none
  if (::fchmod(fd, 0600) != 0 || ::ftruncate(fd, 0) != 0 ||
      ::ftruncate(fd, off_t(recordsStart)) != 0 ||
      ::pwrite(fd, bytes.data(), bytes.size(), 0) != ssize_t(bytes.size())) {
    *error = Because("write", path, errno ? errno : ENOSPC);
    if (made)
      ::unlink(path.c_str());
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<CaptureWriter>(
      new CaptureWriter(fd, path, recordsStart));
}

CaptureWriter::CaptureWriter(int fd, std::string path, uint64_t recordsStart)
    : fd_(fd), path_(std::move(path)), recordsStart_(recordsStart),
      start_(std::chrono::steady_clock::now()), fileEnd_(recordsStart) {
  thread_ = std::thread(&CaptureWriter::run, this);
}

CaptureWriter::~CaptureWriter() {
  if (thread_.joinable())
    close();
  ::close(fd_);
}

CaptureWriter::Status CaptureWriter::close() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
  std::lock_guard lock(mutex_);
  return status_;
}

uint16_t CaptureWriter::addInterface(const CaptureInterface &interface) {
  std::vector<uint8_t> entry = EncodeInterface(interface);
  if (interfaceCount_ == kNoSource ||
      tableUsed_ + entry.size() > recordsStart_ - kHeaderSize)
    return kNoSource;
  const uint64_t offset = kHeaderSize + tableUsed_;
  tableUsed_ += uint32_t(entry.size());
  std::lock_guard lock(mutex_);
  pendingEntries_.push_back(TableEntry{offset, std::move(entry)});
  return interfaceCount_++;
}

void CaptureWriter::append(const uint8_t *bytes, size_t size,
                           uint64_t records) {
  std::lock_guard lock(mutex_);
  if (status_.failed || stopping_) {
    status_.notWritten += records;
    return;
  }
  if (recordsAppended_ >= nextIndexAt_) {
    const RecordBytes index = EncodeIndex(rowsAppended_);
    pending_.insert(pending_.end(), index.begin(), index.end());
    nextIndexAt_ = (recordsAppended_ / kIndexInterval + 1) * kIndexInterval;
    ++recordsAppended_;
  }
  pending_.insert(pending_.end(), bytes, bytes + size);
  recordsAppended_ += records;
  ++rowsAppended_;
}

void CaptureWriter::appendReport(bool written, uint16_t source, int64_t timeUS,
                                 std::optional<uint8_t> reportID,
                                 const uint8_t *data, int size) {
  const RecordBytes record =
      EncodeReport(written, source, timeUS, reportID, data, size);
  append(record.data(), record.size(), 1);
}

void CaptureWriter::appendLoss(uint16_t source, int64_t timeUS,
                               uint32_t count) {
  const RecordBytes record = EncodeLoss(source, timeUS, count);
  append(record.data(), record.size(), 1);
}

void CaptureWriter::appendEvent(uint16_t source, int64_t timeUS, EventKind kind,
                                const std::string &text) {
  const std::vector<RecordBytes> records =
      EncodeEvent(source, timeUS, kind, text);
  append(records.front().data(), records.size() * kRecordSize, records.size());
}

CaptureWriter::Status CaptureWriter::status() const {
  std::lock_guard lock(mutex_);
  return status_;
}

void CaptureWriter::flush() {
  std::unique_lock lock(mutex_);
  const uint64_t ticket = ++flushesAsked_;
  wake_.notify_one();
  flushed_.wait(lock, [&] {
    return flushesDone_ >= ticket || status_.failed || stopping_;
  });
}

void CaptureWriter::run() {
  std::vector<uint8_t> batch;
  std::vector<TableEntry> entries;
  auto lastSync = std::chrono::steady_clock::now();
  bool unsynced = false;
  for (;;) {
    bool stopping;
    uint64_t flushes;
    {
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, kFlushInterval, [this] {
        return stopping_ || flushesAsked_ > flushesDone_;
      });
      batch.swap(pending_);
      entries.swap(pendingEntries_);
      stopping = stopping_;
      flushes = flushesAsked_;
    }
    if (!batch.empty() || !entries.empty()) {
      writeOut(entries, batch);
      unsynced = true;
    }
    {
      std::lock_guard lock(mutex_);
      flushesDone_ = flushes;
    }
    flushed_.notify_all();
    batch.clear();
    entries.clear();
    const auto now = std::chrono::steady_clock::now();
    if (unsynced && (stopping || now - lastSync >= kSyncInterval)) {
      if (::fdatasync(fd_) != 0)
        stop(errno, 0);
      lastSync = now;
      unsynced = false;
    }
    if (stopping)
      return;
  }
}

void CaptureWriter::writeOut(const std::vector<TableEntry> &entries,
                             const std::vector<uint8_t> &batch) {
  const uint64_t records = batch.size() / kRecordSize;
  {
    std::lock_guard lock(mutex_);
    if (status_.failed) {
      status_.notWritten += records;
      return;
    }
  }
  // An interface's entry goes before the first record that names it.
  for (const TableEntry &entry : entries)
    if (!writeAll(entry.bytes.data(), entry.bytes.size(), entry.offset))
      return stop(errno, records);
  int roomError = 0;
  const uint64_t fit = recordsThatFit(records, &roomError);
  const uint64_t before = fileEnd_;
  const bool whole = writeAll(batch.data(), fit * kRecordSize, fileEnd_);
  const int error = whole ? roomError : errno;
  const uint64_t written = (fileEnd_ - before) / kRecordSize;
  uint64_t reports = 0;
  for (uint64_t i = 0; i < written; ++i)
    reports += IsReport(batch.data() + i * kRecordSize);
  {
    std::lock_guard lock(mutex_);
    status_.written += written;
    status_.reportsWritten += reports;
  }
  if (written < records)
    stop(error, records - written);
}

uint64_t CaptureWriter::recordsThatFit(uint64_t count, int *error) {
  const auto room = [](uint64_t records) {
    return (records + 1) * kRecordSize; // and the marker
  };
  // A file-size limit is known to the byte.
  rlimit limit{};
  uint64_t most = count;
  if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 &&
      limit.rlim_cur != RLIM_INFINITY &&
      fileEnd_ + room(count) > limit.rlim_cur) {
    *error = EFBIG;
    most = limit.rlim_cur >= fileEnd_ + room(0)
               ? (limit.rlim_cur - fileEnd_) / kRecordSize - 1
               : 0;
  }
  // The disk's room is found by allocating it (beyond the file's end,
  // which stays where it is): the most records, up to most, it holds.
  const auto allocate = [&](uint64_t records) {
    return ::fallocate(fd_, FALLOC_FL_KEEP_SIZE, off_t(fileEnd_),
                       off_t(room(records))) == 0;
  };
  if (allocate(most))
    return most;
  if (errno == EOPNOTSUPP || errno == ENOSYS)
    return most; // a file system that cannot say: the writes will tell
  *error = errno;
  uint64_t fits = 0; // room(fits) was allocated, or is not there at all
  if (!allocate(0))
    return 0;
  for (uint64_t fails = most; fails - fits > 1;) {
    const uint64_t middle = fits + (fails - fits) / 2;
    (allocate(middle) ? fits : fails) = middle;
  }
  return fits;
}

bool CaptureWriter::writeAll(const uint8_t *bytes, size_t size,
                             uint64_t offset) {
  const bool appending = offset == fileEnd_;
  size_t done = 0;
  while (done < size) {
    const ssize_t n =
        ::pwrite(fd_, bytes + done, size - done, off_t(offset + done));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      if (n == 0)
        errno = ENOSPC;
      break;
    }
    done += size_t(n);
    if (appending)
      fileEnd_ += uint64_t(n);
  }
  return done == size;
}

void CaptureWriter::stop(int error, uint64_t recordsLost) {
  {
    std::lock_guard lock(mutex_);
    status_.notWritten += recordsLost;
    if (status_.failed)
      return;
    status_.failed = true;
    status_.errorNumber = error;
    status_.error = Because("write", path_, error);
  }
  // The marker goes where a reader sees it: right after a whole record.
  if ((fileEnd_ - recordsStart_) % kRecordSize == 0) {
    const RecordBytes marker = EncodeWritingStopped(elapsedUS(), error);
    writeAll(marker.data(), marker.size(), fileEnd_);
  }
}

} // namespace capture
