#include "app/log/LogExport.h"

#include "app/log/LogTableModel.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstring>

namespace explorer {

namespace {

// The rows of one batch for the writer, and the most rows taken and not yet
// written before the next slice waits: 1.5 MB of rows, and the text of one
// batch.
constexpr size_t kBatchRows = 16384;
constexpr size_t kMostQueuedRows = 4 * kBatchRows;

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
  const LogRowFormat rows = log_.rowFormat();
  ExportWriter::Text text;
  if (format_ == Format::Csv)
    text = [rows](const LogRow &row, QByteArray &out) {
      rows.appendCsvRecord(out, row);
    };
  else
    text = [rows](const LogRow &row, QByteArray &out) {
      out += rows.textLine(row).toUtf8();
      out += '\n';
    };
  writer_ = std::make_unique<ExportWriter>(
      file_.handle(),
      format_ == Format::Csv ? LogTableModel::csvHeader() : QByteArray(),
      std::move(text), [this] {
        QMetaObject::invokeMethod(this, &LogExport::written,
                                  Qt::QueuedConnection);
      });
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
  // the rows waiting for it stay few.
  QElapsedTimer slice;
  slice.start();
  while (done_ < total_ && writer_->queuedRows() < kMostQueuedRows &&
         slice.elapsed() < LogTableModel::kSliceMS) {
    std::vector<LogRow> batch;
    batch.reserve(kBatchRows);
    for (; batch.size() < kBatchRows && done_ < total_; ++done_) {
      const int report = int(shown_ ? shown_->nextShown(next_) : next_);
      next_ = uint64_t(report) + 1;
      if (report >= log_.reportCount()) {
        finish(false, QStringLiteral("the log was cleared"));
        return;
      }
      batch.push_back(log_.row(report));
    }
    writer_->write(std::move(batch));
  }
  emit progress(done_, total());
  if (done_ < total_)
    QTimer::singleShot(writer_->queuedRows() < kMostQueuedRows ? 0 : 1, this,
                       &LogExport::writeSlice);
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

} // namespace explorer
