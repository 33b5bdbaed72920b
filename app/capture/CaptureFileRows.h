// The rows of a capture opened read-only: each of its records that is a log
// row, in order. A row is found from an anchor, a row whose record is known,
// after at most one slot of records, and at once after the row before it, so
// that scrolling and filtering read the file in order.
//
// A file with index records (and an interface table that checks) is counted
// from them at once: its anchors are their slots, and only the records after
// the last one are read. There a record that does not check is a row, read
// as an empty report, as the index counts it. In a file without them, every
// record is read, a slice at a time, for an anchor every kBlockRows rows;
// there a record that does not check is not a row.
#ifndef PINWORTH_EXPLORER_CAPTURE_FILE_ROWS_H
#define PINWORTH_EXPLORER_CAPTURE_FILE_ROWS_H

#include "app/log/StoredRows.h"
#include "capture/CaptureReader.h"

#include <memory>
#include <optional>
#include <vector>

namespace explorer {

class CaptureFileRows : public StoredRows {
public:
  static constexpr uint64_t kBlockRows = 1024;

  // logSourceOf: the log's source index of each of the capture's sources.
  CaptureFileRows(std::unique_ptr<capture::CaptureReader> reader,
                  std::vector<uint16_t> logSourceOf);

  uint64_t count() const override { return rows_; }
  // Records read that name an interface the table does not hold (a damaged
  // table, whose file is read whole): their rows show no source.
  uint64_t withoutInterface() const { return withoutInterface_; }
  LogRow row(uint64_t i) const override;
  bool refresh(Deadline deadline) override;

private:
  struct Anchor {
    uint64_t row;
    uint64_t record; // where the walk to row finds it
  };

  // The row of record, if it is one.
  std::optional<LogRow> rowOf(const capture::Record &record) const;

  std::unique_ptr<capture::CaptureReader> reader_;
  std::vector<uint16_t> logSourceOf_;
  bool indexed_ = false;                // anchored by the file's index records
  std::vector<Anchor> anchors_{{0, 0}}; // by row and by record
  uint64_t rows_ = 0;                   // rows counted
  uint64_t records_ = 0;                // records counted
  uint64_t withoutInterface_ = 0;
  // The row found last, and its record.
  mutable uint64_t lastRow_ = 0;
  mutable uint64_t lastRecord_ = 0;
  mutable std::optional<LogRow> last_;
};

} // namespace explorer

#endif
