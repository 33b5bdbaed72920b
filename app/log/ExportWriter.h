// The working half of an export: rows made into text and written to a file,
// in order, by a thread of its own, so that neither the making of the text
// nor a write the kernel holds back (a busy disk, dirty pages being flushed)
// holds the window; then synced to disk.
#ifndef PINWORTH_EXPLORER_EXPORT_WRITER_H
#define PINWORTH_EXPLORER_EXPORT_WRITER_H

#include "app/log/LogRow.h"

#include <QByteArray>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace explorer {

class ExportWriter {
public:
  // Appends a row's text to out; called on the writer's thread.
  using Text = std::function<void(const LogRow &row, QByteArray &out)>;

  // Writes header, then the text of each row written, to descriptor, not
  // owned, which must stay open while the writer lives. done runs once, on
  // the writer's thread: when every row written before finish() is written
  // and synced, or at the first failure.
  ExportWriter(int descriptor, QByteArray header, Text text,
               std::function<void()> done);
  // Stops at the next batch and waits for the thread.
  ~ExportWriter();

  void write(std::vector<LogRow> rows);
  // No row follows.
  void finish();
  // The rows queued and not written yet.
  size_t queuedRows() const;
  // The errno of the failed write, 0 when none failed.
  int error() const;

private:
  void run();
  // Writes bytes whole; false with error_ set when it could not.
  bool writeAll(const QByteArray &bytes);

  const int descriptor_;
  const QByteArray header_;
  const Text text_;
  const std::function<void()> done_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::vector<LogRow>> batches_; // guarded by mutex_, as is what
  size_t queuedRows_ = 0;                   // follows
  bool finished_ = false;
  bool stopped_ = false;
  int error_ = 0;
  std::thread thread_;
};

} // namespace explorer

#endif
