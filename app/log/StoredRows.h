// Rows a log keeps in a file rather than in its memory: its first count()
// rows, read back through a map of the file, so that the log's heap holds
// only the rows not yet written, whatever the log's length.
#ifndef PINWORTH_EXPLORER_STORED_ROWS_H
#define PINWORTH_EXPLORER_STORED_ROWS_H

#include "app/log/LogRow.h"
#include "core/interfaces/InterfaceIdentity.h"

#include <chrono>
#include <cstdint>

namespace explorer {

class StoredRows {
public:
  using Deadline = std::chrono::steady_clock::time_point;

  virtual ~StoredRows() = default;
  // How many rows are stored, as of the last refresh().
  virtual uint64_t count() const = 0;
  // Row i (i < count()), with the log's source index and clock.
  virtual LogRow row(uint64_t i) const = 0;
  // Sees the rows stored since, working until deadline at most; true when
  // there is more to see at once (a file not yet read to its end).
  virtual bool refresh(Deadline deadline) = 0;
};

// Takes every row a log appends, as it is appended, and hears when the log
// is cleared (a capture of the log on disk). The rows it stores are those
// appended since the last clear, in order: stored row i is the i-th row
// appended, as it was appended.
class LogRecorder : public StoredRows {
public:
  // source: the row's interface, null for none.
  virtual void rowAppended(const LogRow &row,
                           const core::InterfaceIdentity *source) = 0;
  virtual void logCleared() = 0;
};

} // namespace explorer

#endif
