#include "interop/ExportFile.h"

#include <cerrno>
#include <cstring>

namespace interop {

namespace {

constexpr size_t kBufferSize = 1 << 20;

} // namespace

ExportFile::ExportFile(const QString &path) : file_(path) {
  buffer_.reserve(kBufferSize);
}

// Unbuffered: the pieces are large already, and a short write (a full
// disk) shows in write()'s count with its errno.
bool ExportFile::open() {
  if (!file_.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
    fail(file_.errorString());
  return !failed();
}

void ExportFile::append(std::string_view bytes) {
  if (failed())
    return;
  buffer_.append(bytes);
  if (buffer_.size() >= kBufferSize)
    writeBuffer();
}

bool ExportFile::commit() {
  writeBuffer();
  if (!failed() && !file_.commit())
    fail(file_.errorString());
  return !failed();
}

void ExportFile::writeBuffer() {
  errno = 0;
  if (!failed() && !buffer_.empty() &&
      file_.write(buffer_.data(), qint64(buffer_.size())) !=
          qint64(buffer_.size()))
    fail(QString::fromLocal8Bit(std::strerror(errno ? errno : ENOSPC)));
  buffer_.clear();
}

void ExportFile::fail(const QString &why) {
  error_ = QStringLiteral("could not write %1: %2").arg(file_.fileName(), why);
  file_.cancelWriting();
}

} // namespace interop
