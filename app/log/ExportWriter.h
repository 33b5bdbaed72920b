// The writing half of an export: chunks of bytes written to a file, in
// order, by a thread of its own, so that a write the kernel holds back (a
// busy disk, dirty pages being flushed) does not hold the window, then
// synced to disk.
#ifndef PINWORTH_EXPLORER_EXPORT_WRITER_H
#define PINWORTH_EXPLORER_EXPORT_WRITER_H

#include <QByteArray>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class ExportWriter {
public:
  // Writes to descriptor, not owned, which must stay open while the writer
  // lives. done runs once, on the writer's thread: when every chunk queued
  // before finish() is written and synced, or at the first failure.
  ExportWriter(int descriptor, std::function<void()> done);
  // Stops at the next chunk and waits for the thread.
  ~ExportWriter();

  void write(QByteArray chunk);
  // No chunk follows.
  void finish();
  // The bytes queued and not written yet.
  qsizetype queuedBytes() const;
  // The errno of the failed write, 0 when none failed.
  int error() const;

private:
  void run();
  // Writes bytes whole; false with error_ set when it could not.
  bool writeAll(const QByteArray &bytes);

  const int descriptor_;
  const std::function<void()> done_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<QByteArray> chunks_; // guarded by mutex_, as is what follows
  qsizetype queuedBytes_ = 0;
  bool finished_ = false;
  bool stopped_ = false;
  int error_ = 0;
  std::thread thread_;
};

#endif
