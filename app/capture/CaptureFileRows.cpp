#include "app/capture/CaptureFileRows.h"

#include "app/capture/RecordRow.h"

#include <algorithm>

namespace explorer {

CaptureFileRows::CaptureFileRows(std::unique_ptr<capture::CaptureReader> reader,
                                 std::vector<uint16_t> logSourceOf)
    : reader_(std::move(reader)), logSourceOf_(std::move(logSourceOf)) {
  if (reader_->tableDamaged())
    return;
  const std::vector<capture::CaptureReader::IndexEntry> index =
      reader_->index();
  indexed_ = !index.empty();
  for (const capture::CaptureReader::IndexEntry &entry : index)
    anchors_.push_back({entry.rowsBefore, entry.record + 1});
  if (indexed_) {
    rows_ = anchors_.back().row;
    records_ = anchors_.back().record;
  }
}

std::optional<LogRow>
CaptureFileRows::rowOf(const capture::Record &record) const {
  if (!indexed_)
    return RowOfRecord(record, logSourceOf_);
  if (!capture::CountsAsRow(record))
    return std::nullopt;
  return RowOfRecord(record, logSourceOf_).value_or(LogRow());
}

LogRow CaptureFileRows::row(uint64_t i) const {
  if (last_ && lastRow_ == i)
    return *last_;
  const auto next = std::upper_bound(
      anchors_.begin(), anchors_.end(), i,
      [](uint64_t row, const Anchor &anchor) { return row < anchor.row; });
  uint64_t row = std::prev(next)->row;
  uint64_t record = std::prev(next)->record;
  const uint64_t end =
      next != anchors_.end() ? next->record : reader_->recordCount();
  if (last_ && lastRow_ < i && lastRow_ >= row) {
    row = lastRow_ + 1;
    record = lastRecord_ + 1;
  }
  for (; record < end; ++record) {
    last_ = rowOf(reader_->record(record));
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
  // overwritten since), or fewer rows than the index counted: the row reads
  // as an empty report.
  last_.reset();
  return LogRow();
}

// Each slice reads at least 4,096 records, a deadline already past
// notwithstanding.
bool CaptureFileRows::refresh(Deadline deadline) {
  const uint64_t total = reader_->recordCount();
  while (records_ < total) {
    const uint64_t at = records_++;
    const capture::Record record = reader_->record(at);
    if (const std::optional<LogRow> row = rowOf(record)) {
      withoutInterface_ += record.source != capture::kNoSource &&
                           record.source >= logSourceOf_.size();
      if (rows_ - anchors_.back().row >= kBlockRows)
        anchors_.push_back({rows_, at});
      ++rows_;
    }
    if (records_ % 4096 == 0 && std::chrono::steady_clock::now() >= deadline)
      return records_ < total;
  }
  return false;
}

} // namespace explorer
