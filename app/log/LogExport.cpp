#include "app/log/LogExport.h"

#include "app/log/LogTableModel.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cerrno>
#include <cstring>

namespace {

// A slice ends after this much work, so that input and painting go on.
constexpr int kSliceMS = 8;

} // namespace

LogExport::LogExport(const LogTableModel &log, QString path, Format format,
                     QObject *parent)
    : QObject(parent), log_(log), format_(format), file_(std::move(path)) {}

void LogExport::start() {
  total_ = log_.rowCount();
  shown_ = log_.shownNow();
  if (!file_.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    finish(false, file_.errorString());
    return;
  }
  if (format_ == Format::Csv && !writeAll(LogTableModel::csvHeader()))
    return;
  QTimer::singleShot(0, this, &LogExport::writeSlice);
}

void LogExport::cancel() {
  cancelled_ = true;
}

void LogExport::writeSlice() {
  if (cancelled_) {
    finish(false, QString());
    return;
  }
  QElapsedTimer slice;
  slice.start();
  QByteArray chunk;
  while (done_ < total_ && slice.elapsed() < kSliceMS) {
    for (int i = 0; i < 256 && done_ < total_; ++i, ++done_) {
      const int report = int(shown_ ? shown_->nextShown(next_) : next_);
      next_ = uint64_t(report) + 1;
      if (report >= log_.reportCount()) {
        finish(false, QStringLiteral("the log was cleared"));
        return;
      }
      chunk += format_ == Format::Csv ? log_.csvRecord(report)
                                      : log_.textLine(report).toUtf8() + '\n';
    }
  }
  if (!writeAll(chunk))
    return;
  emit progress(done_, total());
  if (done_ < total_)
    QTimer::singleShot(0, this, &LogExport::writeSlice);
  else if (!file_.commit())
    finish(false, file_.errorString());
  else
    finish(true, QString());
}

// The file is unbuffered, so a short write (a full disk, the file-size
// limit) shows in write()'s count, with its reason in errno: QSaveFile then
// has none of its own.
bool LogExport::writeAll(const QByteArray &bytes) {
  errno = 0;
  if (file_.write(bytes) == bytes.size())
    return true;
  finish(false, errno ? QString::fromLocal8Bit(std::strerror(errno))
                      : file_.errorString());
  return false;
}

void LogExport::finish(bool written, const QString &error) {
  if (!written)
    file_.cancelWriting();
  emit finished(written, error);
}
