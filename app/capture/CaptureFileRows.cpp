#include "app/capture/CaptureFileRows.h"

#include "app/capture/RecordRow.h"

CaptureFileRows::CaptureFileRows(std::unique_ptr<capture::CaptureReader> reader,
                                 std::vector<uint16_t> logSourceOf)
    : reader_(std::move(reader)), logSourceOf_(std::move(logSourceOf)) {}

LogRow CaptureFileRows::row(uint64_t i) const {
  if (i == 0)
    return *first_;
  if (last_ && lastRow_ == i)
    return *last_;
  uint64_t row = i / kBlockRows * kBlockRows;
  uint64_t record = blockStart_[i / kBlockRows];
  if (last_ && lastRow_ < i && lastRow_ >= row) {
    row = lastRow_ + 1;
    record = lastRecord_ + 1;
  }
  for (; record < reader_->recordCount(); ++record) {
    last_ = RowOfRecord(reader_->record(record), logSourceOf_);
    if (!last_)
      continue;
    if (row == i) {
      lastRow_ = i;
      lastRecord_ = record;
      return *last_;
    }
    ++row;
  }
  // Records read before no longer read back (the file was cut short or
  // overwritten since): the row reads as an empty report.
  last_.reset();
  return LogRow();
}

bool CaptureFileRows::refresh(Deadline deadline) {
  const uint64_t total = reader_->recordCount();
  for (; records_ < total; ++records_) {
    if (records_ % 4096 == 4095 && std::chrono::steady_clock::now() >= deadline)
      return true;
    const capture::Record record = reader_->record(records_);
    const std::optional<LogRow> row = RowOfRecord(record, logSourceOf_);
    if (!row)
      continue;
    withoutInterface_ += record.source != capture::kNoSource &&
                         record.source >= logSourceOf_.size();
    if (rows_ == 0)
      first_ = row;
    if (rows_ % kBlockRows == 0)
      blockStart_.push_back(records_);
    ++rows_;
  }
  return false;
}
