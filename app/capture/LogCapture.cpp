#include "app/capture/LogCapture.h"

#include "app/capture/RecordRow.h"
#include "core/interfaces/CaptureSources.h"

#include <QFile>

namespace explorer {

namespace {

constexpr uint16_t kUnmapped = capture::kNoSource - 1;

} // namespace

LogCapture::LogCapture(SessionStore store, LogTableModel &log,
                       DescriptorOf descriptorOf)
    : store_(std::move(store)), log_(log),
      descriptorOf_(std::move(descriptorOf)) {
  check_.setInterval(500);
  connect(&check_, &QTimer::timeout, this, &LogCapture::checkWriting);
  begin();
  log_.setRecorder(this);
}

LogCapture::~LogCapture() {
  log_.setRecorder(nullptr);
  end();
}

void LogCapture::flush() {
  if (writer_)
    writer_->flush();
}

void LogCapture::begin() {
  problem_.clear();
  sources_.clear();
  logSourceOf_.clear();
  timeBase_ = log_.startTime();
  readable_ = 0;
  stored_ = 0;
  std::string reason;
  QString folderProblem;
  if (!store_.make(&folderProblem)) {
    problem_ = folderProblem;
  } else {
    path_ = store_.newCurrentPath();
    writer_ = capture::CaptureWriter::create(path_.toStdString(), &reason);
    if (!writer_)
      problem_ = QString::fromStdString(reason);
  }
  exact_ = writer_ != nullptr;
  if (!writer_) {
    path_.clear();
    return;
  }
  check_.start();
}

void LogCapture::end() {
  check_.stop();
  reader_.reset();
  stored_ = 0;
  if (!writer_)
    return;
  // A capture of no row is no session: a log cleared or a window closed
  // before anything was logged leaves nothing to find.
  const bool empty = writer_->close().written == 0;
  writer_.reset();
  if (empty)
    QFile::remove(path_);
  else
    store_.keep(path_);
  path_.clear();
}

void LogCapture::logCleared() {
  end();
  begin();
  if (!problem_.isEmpty())
    emit problemFound(problem_);
}

void LogCapture::checkWriting() {
  const capture::CaptureWriter::Status status = writer_->status();
  if (!status.failed)
    return;
  check_.stop();
  problem_ = QString::fromStdString(status.error);
  log_.appendCaptureStopped();
  emit problemFound(problem_);
}

uint16_t LogCapture::sourceOf(uint16_t logSource,
                              const core::InterfaceIdentity &identity) {
  if (logSource >= sources_.size())
    sources_.resize(size_t(logSource) + 1, kUnmapped);
  if (sources_[logSource] == kUnmapped) {
    const uint16_t source = writer_->addInterface(
        core::CaptureEntry(identity, descriptorOf_(identity)));
    sources_[logSource] = source;
    if (source != capture::kNoSource) {
      logSourceOf_.resize(size_t(source) + 1, LogRow::kNoSource);
      logSourceOf_[source] = logSource;
    }
  }
  return sources_[logSource];
}

void LogCapture::rowAppended(const LogRow &row,
                             const core::InterfaceIdentity *identity) {
  if (!writer_ ||
      (row.isEvent() && LogEvent(row.data[0]) == LogEvent::CaptureStopped)) {
    exact_ = false;
    return;
  }
  const uint16_t source =
      identity ? sourceOf(row.source, *identity) : capture::kNoSource;
  const bool idInByte = row.reportID == core::kNoReportID ||
                        (row.reportID >= 0 && row.reportID <= 0xFF);
  exact_ = exact_ && (!identity || source != capture::kNoSource) &&
           (!row.isReport() || idInByte);
  if (exact_)
    ++readable_;
  const int64_t time = row.time - timeBase_;
  if (row.isLoss())
    writer_->appendLoss(source, time, uint32_t(row.reportID));
  else if (row.isEvent())
    writer_->appendEvent(source, time, capture::EventKind(row.data[0] + 1));
  else
    writer_->appendReport(row.isOutput(), source, time,
                          row.reportID == core::kNoReportID
                              ? std::nullopt
                              : std::optional<uint8_t>(uint8_t(row.reportID)),
                          row.data, row.size());
}

// Each row the log appends is one record: row i is record i past the index
// records before it.
LogRow LogCapture::row(uint64_t i) const {
  // A record the disk corrupted since reads as an empty report.
  return RowOfRecord(reader_->record(capture::RecordOfSingleRecordRow(i)),
                     logSourceOf_, timeBase_)
      .value_or(LogRow());
}

bool LogCapture::refresh(Deadline) {
  if (!writer_)
    return false;
  const auto rowsIn = capture::RowsInSingleRecordRows;
  const uint64_t target =
      std::min(readable_, rowsIn(writer_->status().written));
  if (target <= stored_)
    return false;
  std::string reason;
  if (!reader_)
    reader_ = capture::CaptureReader::open(
        path_.toStdString(), &reason, capture::CaptureReader::Links::Refuse);
  else if (rowsIn(reader_->recordCount()) < target)
    reader_->refresh(&reason);
  // Unreadable, the file leaves the rows in the log's memory.
  if (reader_)
    stored_ = std::min(target, rowsIn(reader_->recordCount()));
  return false;
}

} // namespace explorer
