// A window's log written to a current capture of the session store as it
// grows: each row as it is appended, with the interfaces' identities and
// report descriptors. Clearing the log keeps the capture as a session and
// begins a new one; so does the end of the capture (the window closing). A
// capture that holds no row is removed instead.
//
// The log reads back from the file the rows written (StoredRows), so that
// its memory holds only the last ones. A row the file cannot give back as
// it was (its interface past a full table) ends what is read back: the log
// keeps it and the rows after it in memory.
//
// When a capture cannot be begun or writing it stops (the disk full, the
// folder gone), problem() says why and problemFound() is emitted once per
// capture; the log goes on in memory, and what was written stays. Main
// thread only.
#ifndef PINWORTH_EXPLORER_LOG_CAPTURE_H
#define PINWORTH_EXPLORER_LOG_CAPTURE_H

#include "app/capture/SessionStore.h"
#include "app/log/LogTableModel.h"
#include "capture/CaptureReader.h"
#include "capture/CaptureWriter.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace explorer {

class LogCapture : public QObject, public LogRecorder {
  Q_OBJECT
public:
  // The report descriptor of an interface, empty when it cannot be read.
  using DescriptorOf =
      std::function<std::vector<uint8_t>(const core::InterfaceIdentity &)>;

  // Records log, which must outlive it, from now on.
  LogCapture(SessionStore store, LogTableModel &log, DescriptorOf descriptorOf);
  ~LogCapture() override;

  // The current capture, empty when none could be begun.
  const QString &path() const { return path_; }
  const QString &problem() const { return problem_; }
  // Writes out every row appended so far (before a copy of the file).
  void flush();

signals:
  void problemFound(const QString &reason);

private:
  void rowAppended(const LogRow &row,
                   const core::InterfaceIdentity *source) override;
  void logCleared() override;
  uint64_t count() const override { return stored_; }
  LogRow row(uint64_t i) const override;
  bool refresh(Deadline deadline) override;
  void begin();
  void end();
  void checkWriting();
  uint16_t sourceOf(uint16_t logSource,
                    const core::InterfaceIdentity &identity);

  SessionStore store_;
  LogTableModel &log_;
  DescriptorOf descriptorOf_;
  std::unique_ptr<capture::CaptureWriter> writer_;
  QString path_;
  QString problem_;
  std::vector<uint16_t> sources_;     // the capture's source, by the log's
  std::vector<uint16_t> logSourceOf_; // the log's source, by the capture's
  int64_t timeBase_ = 0;              // the log's start, the capture's 0
  uint64_t readable_ = 0; // rows appended that the file gives back as they were
  bool exact_ = false;    // whether every row appended so far is readable
  uint64_t stored_ = 0;   // rows written and readable
  std::unique_ptr<capture::CaptureReader> reader_;
  QTimer check_;
};

} // namespace explorer

#endif
