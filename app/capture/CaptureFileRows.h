// The rows of a capture opened read-only: each of its records that is a log
// row, in order. Reading the file builds, a slice at a time, an index of the
// record where each block of kBlockRows rows begins (8 bytes a block); a row
// is then found after at most kBlockRows records, and at once after the row
// before it, so that scrolling and filtering read the file in order.
#ifndef PINWORTH_EXPLORER_CAPTURE_FILE_ROWS_H
#define PINWORTH_EXPLORER_CAPTURE_FILE_ROWS_H

#include "app/log/StoredRows.h"
#include "capture/CaptureReader.h"

#include <memory>
#include <optional>
#include <vector>

class CaptureFileRows : public StoredRows {
public:
  static constexpr uint64_t kBlockRows = 1024;

  // logSourceOf: the log's source index of each of the capture's sources.
  CaptureFileRows(std::unique_ptr<capture::CaptureReader> reader,
                  std::vector<uint16_t> logSourceOf);

  uint64_t count() const override { return rows_; }
  // Records indexed that name an interface the table does not hold (a
  // damaged table): their rows show no source.
  uint64_t withoutInterface() const { return withoutInterface_; }
  LogRow row(uint64_t i) const override;
  bool refresh(Deadline deadline) override;

private:
  std::unique_ptr<capture::CaptureReader> reader_;
  std::vector<uint16_t> logSourceOf_;
  std::vector<uint64_t> blockStart_; // the record of row b * kBlockRows
  uint64_t rows_ = 0;                // rows indexed
  uint64_t records_ = 0;             // records indexed
  uint64_t withoutInterface_ = 0;
  // Row 0, which every time since the first report is measured from: kept
  // aside, so that reading it does not move the cursor of a walk.
  std::optional<LogRow> first_;
  // The row found last, and its record.
  mutable uint64_t lastRow_ = 0;
  mutable uint64_t lastRecord_ = 0;
  mutable std::optional<LogRow> last_;
};

#endif
