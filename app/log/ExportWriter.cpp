#include "app/log/ExportWriter.h"

#include <cerrno>
#include <unistd.h>

ExportWriter::ExportWriter(int descriptor, std::function<void()> done)
    : descriptor_(descriptor), done_(std::move(done)),
      thread_(&ExportWriter::run, this) {}

ExportWriter::~ExportWriter() {
  {
    const std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void ExportWriter::write(QByteArray chunk) {
  {
    const std::lock_guard lock(mutex_);
    queuedBytes_ += chunk.size();
    chunks_.push_back(std::move(chunk));
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

qsizetype ExportWriter::queuedBytes() const {
  const std::lock_guard lock(mutex_);
  return queuedBytes_;
}

int ExportWriter::error() const {
  const std::lock_guard lock(mutex_);
  return error_;
}

void ExportWriter::run() {
  for (;;) {
    std::unique_lock lock(mutex_);
    wake_.wait(lock,
               [this] { return stopped_ || finished_ || !chunks_.empty(); });
    if (stopped_)
      return;
    if (chunks_.empty()) { // and finished
      lock.unlock();
      // A failure to sync shows again in the commit's own sync.
      ::fdatasync(descriptor_);
      done_();
      return;
    }
    const QByteArray chunk = std::move(chunks_.front());
    chunks_.pop_front();
    lock.unlock();
    const bool written = writeAll(chunk);
    lock.lock();
    queuedBytes_ -= chunk.size();
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
