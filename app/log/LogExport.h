// Writing the reports a log shows to a file, as CSV (RFC 4180, a header
// record) or as text lines in the log's own format.
//
// The rows shown are taken from the log a slice at a time from the event
// loop, and made into text and written by a thread of its own
// (ExportWriter), a few batches of rows waiting for it, so the window stays
// responsive, the memory bounded, and the export can be cancelled; the file
// appears whole or not at all (a QSaveFile, committed once its data is on
// the disk). The reports exported are those shown when it starts, as the log
// read them then.
#ifndef PINWORTH_EXPLORER_LOG_EXPORT_H
#define PINWORTH_EXPLORER_LOG_EXPORT_H

#include <QObject>
#include <QSaveFile>
#include <QString>

#include "app/log/ExportWriter.h"
#include "app/log/ShownRows.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace explorer {

class LogTableModel;

class LogExport : public QObject {
  Q_OBJECT
public:
  enum class Format { Csv, Text };

  // The model must outlive the export.
  LogExport(const LogTableModel &log, QString path, Format format,
            QObject *parent = nullptr);
  ~LogExport() override;

  void start();
  // Stops at the next slice; no file is left.
  void cancel();
  int total() const { return total_; }

signals:
  void progress(int done, int total);
  // written: the file is in place; otherwise error says why (empty when
  // cancelled).
  void finished(bool written, const QString &error);

private:
  void writeSlice();
  // The writer has written and synced every chunk, or failed.
  void written();
  void finish(bool written, const QString &error);

  const LogTableModel &log_;
  Format format_;
  QSaveFile file_;
  std::optional<ShownRows> shown_; // the filter's verdicts at the start
  int total_ = 0;                  // the reports shown at the start
  int done_ = 0;
  uint64_t next_ = 0; // where the next report shown is looked for
  bool cancelled_ = false;
  std::unique_ptr<ExportWriter> writer_; // destroyed before file_ closes
};

} // namespace explorer

#endif
