// The report log and the table model that shows it.
//
// Each report sent or received is one compact row (LogRow), oldest first.
// The rows a recorder or a capture file stores (StoredRows) are read back
// from the file's map; only the rows not yet stored are kept in memory, so
// that the log's heap does not grow with its length. Cells are formatted
// when a view asks for them.
//
// Columns: the first nine are a report record's, identified under
// kColumnIdentifierRole as "R/W", "Id" and the data byte offsets "0" to "6";
// then "Time", "Source", "Decoded" and "ASCII".
//
// Rows appended are announced to the views together by announce(), which a
// frame timer calls: a view repaints at most once a frame however fast
// reports come. A filter shows only the reports that match it and removes
// none; it holds one bit per row. Work that grows with the log's length
// (reading a capture file's rows, filtering them) is done a slice of at most
// kSliceMS at a time, so that the window is never held longer; the rows
// appear as it goes. Reports are numbered as logged (reportCount(),
// record()); rows are the reports shown (reportAtRow()).
#ifndef PINWORTH_EXPLORER_LOG_TABLE_MODEL_H
#define PINWORTH_EXPLORER_LOG_TABLE_MODEL_H

#include "app/log/LogFilter.h"
#include "app/log/LogRow.h"
#include "app/log/LogRowFormat.h"
#include "app/log/ShownRows.h"
#include "app/log/StoredRows.h"
#include "core/interfaces/InterfaceIdentity.h"
#include "core/reports/ReportRecord.h"

#include "platform/HIDServices.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace explorer {

class LogTableModel : public QAbstractTableModel {
  Q_OBJECT
public:
  // The role under which headerData() gives a column's identifier.
  static constexpr int kColumnIdentifierRole = Qt::UserRole;
  enum Column {
    kDirectionColumn,
    kReportIDColumn,
    kFirstByteColumn,
    kTimeColumn = kFirstByteColumn + kLogRowMaxDataSize,
    kSourceColumn,
    kDecodedColumn,
    kAsciiColumn,
    kColumnCount
  };
  // What the Time column shows: seconds since the first report, the time of
  // day, or seconds since the row shown above.
  enum class TimeMode { SinceStart, WallClock, Delta };
  // How often rows are announced at most.
  static constexpr int kFrameMS = 16;
  // The longest the log works at once on what grows with its length.
  static constexpr int kSliceMS = 5;
  // The most rows kept in memory that are not stored (about 48 MB): the
  // last of them is then a loss marker that counts the reports not kept.
  static constexpr size_t kMostRowsInMemory = 2'000'000;

  explicit LogTableModel(QObject *parent = nullptr);

  // Appends a report: size data bytes at data, of which at most
  // kLogRowMaxDataSize are kept, sent to or read from source (none when not
  // known), at the time it was read or written (now when not given). Views
  // learn of it at the next frame.
  void append(bool isOutput, int32_t reportID, int size, const uint8_t *data,
              const std::optional<core::InterfaceIdentity> &source = {},
              std::optional<hid::ReportTime> at = std::nullopt);
  // Appends a row that says count reports from source were lost here
  // (before the report read at at, when given); it is shown under every
  // filter, and as a record it is an empty read report.
  void appendLoss(uint64_t count,
                  const std::optional<core::InterfaceIdentity> &source = {},
                  std::optional<hid::ReportTime> at = std::nullopt);
  // Appends an event row: a device of source unplugged or plugged in,
  // listening or polling on source started or stopped. As a record it is
  // an empty read report, so that it is never loaded or kept as a macro.
  void appendEvent(LogEvent event, const core::InterfaceIdentity &source);
  // Appends the row that marks where writing the log to disk stopped; it
  // is shown under every filter.
  void appendCaptureStopped();
  // An Unplugged row for each device that left, then a PluggedIn row for
  // each that came; each device by the identity of its interface 0.
  void appendDeviceChanges(const QList<core::InterfaceIdentity> &left,
                           const QList<core::InterfaceIdentity> &came);
  // The index of source in the log's table of interfaces, added when new;
  // kNoSource when the table is full.
  uint16_t sourceIndex(const core::InterfaceIdentity &source);
  // When the log was made or last cleared, on its clock: the origin of the
  // times it shows and exports, and of the capture that records it.
  int64_t startTime() const { return startUS_; }
  // Now, in microseconds on the log's clock.
  int64_t clockUS() const { return timeUS(std::chrono::steady_clock::now()); }
  // A time of the monotonic clock, in microseconds on the log's clock.
  int64_t timeUS(hid::ReportTime at) const {
    return std::chrono::duration_cast<std::chrono::microseconds>(at -
                                                                 clockZero_)
        .count();
  }
  // The wall-clock time of the log clock's start (now, for a live log).
  void setClockStart(const QDateTime &start) {
    format_.clockStartUnixUS = start.toMSecsSinceEpoch() * 1000;
  }
  // The recorder, not owned, takes every row from now on (none: null), and
  // the log reads back the rows it stores. Rows a recorder stored leave the
  // log with it.
  void setRecorder(LogRecorder *recorder);
  // Shows the rows of stored, not owned, after those of the log (a capture
  // opened read-only), as they are read.
  void showStored(StoredRows *stored);
  // Removes every report and resets the views at once.
  void clear();
  // Announces the rows appended since the last announcement, after a slice
  // of reading the stored rows and filtering; the next slice follows at
  // once while work remains.
  void announce();

  int reportCount() const { return int(storedCount_ + rows_.size()); }
  // Report i (0 <= i < reportCount()) as a report record with an empty name.
  core::ReportRecord record(int i) const;
  // When row i was logged, in microseconds on the log's clock.
  int64_t time(int i) const { return row(i).time; }
  // The interface report i was sent to or read from, when known.
  std::optional<core::InterfaceIdentity> source(int i) const;
  // Report i (0 <= i < reportCount()) as the log keeps it.
  LogRow logRow(int i) const { return row(i); }
  // The report shown in view row row.
  int reportAtRow(int row) const;
  // The view row that shows report, or -1 when none does (the filter hides
  // it, or it is not announced yet).
  int rowOfReport(int report) const;
  // The reports shown in view rows first to last, in order.
  QList<int> reportsAtRows(int first, int last) const;
  // The filter's verdicts on the reports as they stand, none when there is
  // no filter: what is shown now, kept for a walk over the reports that a
  // change of filter must not disturb.
  std::optional<ShownRows> shownNow() const {
    return filter_ ? std::optional<ShownRows>(shown_) : std::nullopt;
  }

  // Shows only the reports that match filter (all when none); filterDone()
  // says when it has been applied to every report.
  void setFilter(const std::optional<LogFilter> &filter);
  // Whether the filter has reports left to look at.
  bool filtering() const {
    return filter_ && shown_.size() < uint64_t(reportCount());
  }
  TimeMode timeMode() const { return timeMode_; }
  void setTimeMode(TimeMode mode);

  // The text of a cell of report i, as the column identifier asks: "R/W"
  // gives "R" or "W"; "Id" gives "0x%02x" of the report ID, or nothing for a
  // report without one; a byte offset gives "0x%02x" of that data byte, or
  // nothing for offsets a report does not have (4 to 6 of a report without
  // report ID); the other columns as their names say.
  QString cellText(int i, int column) const;
  // "0x%02x" of a byte; built once, so returning it allocates nothing.
  static const QString &hexByteText(uint8_t byte);

  // Whether row i is a report (not a loss marker or an event).
  bool isReport(int i) const { return row(i).isReport(); }
  // Report i in the log's own text format (see ReportLine.h), one line; an
  // event's line has "E" for its direction and the event's text, a loss
  // marker's "!".
  QString textLine(int i) const;
  // Report i as a CSV record (RFC 4180, CRLF), and the header record: the
  // seconds since the first report, the wall-clock time in UTC (ISO 8601,
  // microseconds), the source, the direction (an event's is "event", a loss
  // marker's "lost"), the report ID and data bytes as bare hex pairs, the
  // meaning.
  QByteArray csvRecord(int i) const;
  static QByteArray csvHeader();
  // How the rows read as text now, for a thread of its own.
  LogRowFormat rowFormat() const;
  // Report i, as the log keeps it.
  LogRow row(int i) const {
    return uint64_t(i) < storedCount_
               ? stored_->row(uint64_t(i))
               : rows_[size_t(uint64_t(i) - storedCount_)];
  }

  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index,
                int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

signals:
  // The filter has looked at every report: rowCount() are shown.
  void filterDone();
  // An announcement is over: reports may have come (reportCount()), shown
  // or not.
  void announced();

private:
  // Reports shown, announced or not.
  int shownCount() const;
  bool shows(const LogRow &row) const;
  // Stamps row with the clock's time and keeps it, or counts it when the
  // memory is full.
  // row.time is set.
  void push(LogRow row, const std::optional<core::InterfaceIdentity> &source);
  void keep(LogRow row, const std::optional<core::InterfaceIdentity> &source);
  // Takes the rows stored since, dropping from memory those it held.
  bool takeStored(StoredRows::Deadline deadline);
  // Filters the rows not filtered yet, until deadline; true when some remain.
  bool filterMore(StoredRows::Deadline deadline);
  // Drops the stored rows and the filter's verdicts on them.
  void forgetStored();
  QString timeText(int i) const;

  StoredRows *stored_ = nullptr;
  uint64_t storedCount_ = 0; // the first rows, read from stored_
  std::deque<LogRow> rows_;  // the rows after them
  LogRowFormat format_;      // its sources, by source index, and its clock
  std::optional<LogFilter> filter_;
  std::vector<bool> sourceMatches_; // by source index, under the filter
  ShownRows shown_;                 // the rows filtered so far
  int announcedRows_ = 0;
  TimeMode timeMode_ = TimeMode::SinceStart;
  const hid::ReportTime clockZero_ = std::chrono::steady_clock::now();
  int64_t startUS_ = 0; // when the log was made or last cleared
  QTimer frame_;
  QTimer work_;                // the next slice of announce()
  QElapsedTimer announced_;    // since rows were last announced
  bool unkeptCounted_ = false; // the memory-full marker's count changed
  LogRecorder *recorder_ = nullptr;
};

} // namespace explorer

#endif
