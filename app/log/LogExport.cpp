#include "app/log/LogExport.h"

#include "app/log/LogTableModel.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstring>

namespace {

// The most bytes made and not yet written before the next slice waits.
constexpr qsizetype kMostQueuedBytes = 8 << 20;

} // namespace

LogExport::LogExport(const LogTableModel &log, QString path, Format format,
                     QObject *parent)
    : QObject(parent), log_(log), format_(format), file_(std::move(path)) {}

LogExport::~LogExport() = default;

void LogExport::start() {
  total_ = log_.rowCount();
  shown_ = log_.shownNow();
  if (!file_.open(QIODevice::WriteOnly)) {
    finish(false, file_.errorString());
    return;
  }
  writer_ = std::make_unique<ExportWriter>(file_.handle(), [this] {
    QMetaObject::invokeMethod(this, &LogExport::written, Qt::QueuedConnection);
  });
  if (format_ == Format::Csv)
    writer_->write(LogTableModel::csvHeader());
  QTimer::singleShot(0, this, &LogExport::writeSlice);
}

void LogExport::cancel() {
  cancelled_ = true;
}

void LogExport::writeSlice() {
  if (!writer_) // finished already: the writer failed while this waited
    return;
  if (cancelled_) {
    finish(false, QString());
    return;
  }
  // A writer that falls behind (a slow disk) holds the rows back, so that
  // the bytes waiting for it stay few.
  if (writer_->queuedBytes() > kMostQueuedBytes) {
    QTimer::singleShot(1, this, &LogExport::writeSlice);
    return;
  }
  QElapsedTimer slice;
  slice.start();
  QByteArray chunk;
  while (done_ < total_ && slice.elapsed() < LogTableModel::kSliceMS) {
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
  writer_->write(std::move(chunk));
  emit progress(done_, total());
  if (done_ < total_)
    QTimer::singleShot(0, this, &LogExport::writeSlice);
  else
    writer_->finish();
}

void LogExport::written() {
  if (!writer_) // finished already: cancelled, or the log was cleared
    return;
  if (const int error = writer_->error())
    finish(false, QString::fromLocal8Bit(std::strerror(error)));
  else if (cancelled_)
    finish(false, QString());
  else if (!file_.commit())
    finish(false, file_.errorString());
  else
    finish(true, QString());
}

void LogExport::finish(bool written, const QString &error) {
  writer_.reset();
  if (!written)
    file_.cancelWriting();
  emit finished(written, error);
}
