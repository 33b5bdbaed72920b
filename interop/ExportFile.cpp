#include "interop/ExportFile.h"

namespace interop {

namespace {

constexpr size_t kBufferSize = 1 << 20;

} // namespace

ExportFile::ExportFile(const QString &path) : file_(path) {
  buffer_.reserve(kBufferSize);
}

bool ExportFile::open() {
  if (!file_.open(QIODevice::WriteOnly))
    fail();
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
    fail();
  return !failed();
}

void ExportFile::writeBuffer() {
  if (!failed() && !buffer_.empty() &&
      file_.write(buffer_.data(), qint64(buffer_.size())) !=
          qint64(buffer_.size()))
    fail();
  buffer_.clear();
}

void ExportFile::fail() {
  error_ = QStringLiteral("could not write %1: %2")
               .arg(file_.fileName(), file_.errorString());
  file_.cancelWriting();
}

} // namespace interop
