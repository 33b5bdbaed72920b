#include "app/capture/LogCapture.h"

#include "core/CaptureSources.h"

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
  if (!writer_) {
    path_.clear();
    return;
  }
  check_.start();
}

void LogCapture::end() {
  check_.stop();
  if (!writer_)
    return;
  writer_->close();
  writer_.reset();
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
  problem_ = QString::fromStdString(status.reason);
  log_.appendCaptureStopped();
  emit problemFound(problem_);
}

uint16_t LogCapture::sourceOf(uint16_t logSource,
                              const InterfaceIdentity &identity) {
  if (logSource >= sources_.size())
    sources_.resize(size_t(logSource) + 1, kUnmapped);
  if (sources_[logSource] == kUnmapped)
    sources_[logSource] =
        writer_->addInterface(CaptureEntry(identity, descriptorOf_(identity)));
  return sources_[logSource];
}

void LogCapture::rowAppended(const LogRow &row,
                             const InterfaceIdentity *identity) {
  if (!writer_ ||
      (row.isEvent() && LogEvent(row.data[0]) == LogEvent::CaptureStopped))
    return;
  const uint16_t source =
      identity ? sourceOf(row.source, *identity) : capture::kNoSource;
  const int64_t time = writer_->elapsedUS();
  if (row.isLoss())
    writer_->appendLoss(source, time, uint32_t(row.reportID));
  else if (row.isEvent())
    writer_->appendEvent(source, time, capture::EventKind(row.data[0] + 1));
  else
    writer_->appendReport(row.isOutput(), source, time,
                          row.reportID == kNoReportID
                              ? std::nullopt
                              : std::optional<uint8_t>(uint8_t(row.reportID)),
                          row.data, row.size());
}
