#include "app/log/ExportWriter.h"

#include <cerrno>
#include <unistd.h>

namespace explorer {

ExportWriter::ExportWriter(int descriptor, QByteArray header, Text text,
                           std::function<void()> done)
    : descriptor_(descriptor), header_(std::move(header)),
      text_(std::move(text)), done_(std::move(done)),
      thread_(&ExportWriter::run, this) {}

ExportWriter::~ExportWriter() {
  {
    const std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void ExportWriter::write(std::vector<LogRow> rows) {
  {
    const std::lock_guard lock(mutex_);
    queuedRows_ += rows.size();
    batches_.push_back(std::move(rows));
  }
  wake_.notify_one();
}

void ExportWriter::finish() {
  {
    const std::lock_guard lock(mutex_);
    finished_ = true;
  }
  wake_.notify_one();
}

size_t ExportWriter::queuedRows() const {
  const std::lock_guard lock(mutex_);
  return queuedRows_;
}

int ExportWriter::error() const {
  const std::lock_guard lock(mutex_);
  return error_;
}

void ExportWriter::run() {
  if (!writeAll(header_))
    return done_();
  QByteArray text;
  for (;;) {
    std::unique_lock lock(mutex_);
    wake_.wait(lock,
               [this] { return stopped_ || finished_ || !batches_.empty(); });
    if (stopped_)
      return;
    if (batches_.empty()) { // and finished
      lock.unlock();
      // A failure to sync shows again in the commit's own sync.
      ::fdatasync(descriptor_);
      done_();
      return;
    }
    const std::vector<LogRow> rows = std::move(batches_.front());
    batches_.pop_front();
    lock.unlock();
    text.clear();
    text.reserve(qsizetype(rows.size()) * 128);
    for (const LogRow &row : rows)
      text_(row, text);
    const bool written = writeAll(text);
    lock.lock();
    queuedRows_ -= rows.size();
    if (!written) {
      lock.unlock();
      done_();
      return;
    }
  }
}

bool ExportWriter::writeAll(const QByteArray &bytes) {
  for (qsizetype at = 0; at < bytes.size();) {
    const ssize_t written =
        ::write(descriptor_, bytes.constData() + at, size_t(bytes.size() - at));
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0) {
      const int reason = written < 0 ? errno : ENOSPC;
      const std::lock_guard lock(mutex_);
      error_ = reason;
      return false;
    }
    at += written;
  }
  return true;
}

} // namespace explorer
