// The report log and the table model that shows it.
//
// Each report sent or received is one compact row, oldest first: the time it
// was logged (microseconds on the log's monotonic clock), where it came from
// or went to (an index into the log's table of interfaces), its report ID,
// its direction and its data bytes; 24 bytes, no string, variant or other
// heap object. Cells are formatted when a view asks for them.
//
// Columns: the first nine are a report record's, identified under
// kColumnIdentifierRole as "R/W", "Id" and the data byte offsets "0" to "6";
// then "Time", "Source", "Decoded" and "ASCII".
//
// Rows appended are announced to the views together by announce(), which a
// frame timer calls: a view repaints at most once a frame however fast
// reports come. A filter shows only the reports that match it and removes
// none. Reports are numbered as logged (reportCount(), record()); rows are
// the reports shown (reportAtRow()).
#ifndef PINWORTH_EXPLORER_LOG_TABLE_MODEL_H
#define PINWORTH_EXPLORER_LOG_TABLE_MODEL_H

#include "app/log/LogFilter.h"
#include "core/InterfaceIdentity.h"
#include "core/ReportRecord.h"

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

// The most data bytes a log row keeps: a report of an interface 1 is a report
// ID byte and 7 data bytes, and one of an interface 0 is 4 data bytes.
inline constexpr int kLogRowMaxDataSize = 7;

// What a row that is not a report says happened.
enum class LogEvent : uint8_t {
  Unplugged,        // the source's device left
  PluggedIn,        // the source's device came (back)
  ListeningStarted, // on the source, an interface 1
  ListeningStopped,
  PollingStarted, // on the source, an interface 0
  PollingStopped,
  CaptureStopped, // no source: the log is written to disk no more
};

// One logged report, or a row that is not one: a loss marker or an event.
struct LogRow {
  int64_t time = 0; // microseconds on the log's clock
  int32_t reportID = kNoReportID;
  uint16_t source = 0; // an index into the log's interfaces, or kNoSource
  uint8_t flags = 0;   // kOutputFlag, and the data size in kSizeMask
  uint8_t data[kLogRowMaxDataSize] = {};

  static constexpr uint16_t kNoSource = 0xFFFF;
  static constexpr uint8_t kOutputFlag = 0x80; // sent ("W"), not read ("R")
  // Not a report: reports were lost here, as many as reportID says.
  static constexpr uint8_t kLossFlag = 0x40;
  // Not a report: an event, the LogEvent in data[0].
  static constexpr uint8_t kEventFlag = 0x20;
  static constexpr uint8_t kSizeMask = 0x07;
  bool isOutput() const { return flags & kOutputFlag; }
  bool isLoss() const { return flags & kLossFlag; }
  bool isEvent() const { return flags & kEventFlag; }
  bool isReport() const { return !(flags & (kLossFlag | kEventFlag)); }
  int size() const { return flags & kSizeMask; }
};
static_assert(sizeof(LogRow) <= 24);

// Takes every row a log appends, as it is appended, and hears when the log
// is cleared (a capture of the log on disk).
class LogRecorder {
public:
  virtual ~LogRecorder() = default;
  // source: the row's interface, null for none.
  virtual void rowAppended(const LogRow &row,
                           const InterfaceIdentity *source) = 0;
  virtual void logCleared() = 0;
};

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
  enum class TimeMode { SinceFirst, WallClock, Delta };
  // How often rows are announced at most.
  static constexpr int kFrameMS = 33;

  explicit LogTableModel(QObject *parent = nullptr);

  // Appends a report: size data bytes at data, of which at most
  // kLogRowMaxDataSize are kept, sent to or read from source (none when not
  // known). Views learn of it at the next frame.
  void append(bool isOutput, int32_t reportID, int size, const uint8_t *data,
              const std::optional<InterfaceIdentity> &source = {});
  // Appends a row that says count reports from source were lost here; it is
  // shown under every filter, and as a record it is an empty read report.
  void appendLoss(uint64_t count,
                  const std::optional<InterfaceIdentity> &source = {});
  // Appends an event row: a device of source unplugged or plugged in,
  // listening or polling on source started or stopped. As a record it is
  // an empty read report, so that it is never loaded or kept as a macro.
  void appendEvent(LogEvent event, const InterfaceIdentity &source);
  // Appends the row that marks where writing the log to disk stopped; it
  // is shown under every filter.
  void appendCaptureStopped();
  // An Unplugged row for each device that left, then a PluggedIn row for
  // each that came; each device by the identity of its interface 0.
  void appendDeviceChanges(const QList<InterfaceIdentity> &left,
                           const QList<InterfaceIdentity> &came);
  // A row recorded earlier (a capture's), with its own time on the log's
  // clock; a report's data size and flags as row has them.
  void appendRecorded(const LogRow &row,
                      const std::optional<InterfaceIdentity> &source);
  // The wall-clock time of the log clock's start (now, for a live log).
  void setClockStart(const QDateTime &start) { clockStart_ = start; }
  // The recorder, not owned, takes every row from now on (none: null).
  void setRecorder(LogRecorder *recorder) { recorder_ = recorder; }
  // Removes every report and resets the views at once.
  void clear();
  // Announces the rows appended since the last announcement.
  void announce();

  int reportCount() const { return static_cast<int>(rows_.size()); }
  // Report i (0 <= i < reportCount()) as a report record with an empty name.
  ReportRecord record(int i) const;
  // When row i was logged, in microseconds on the log's clock.
  int64_t time(int i) const { return rows_.at(size_t(i)).time; }
  // The report shown in view row row.
  int reportAtRow(int row) const;

  // Shows only the reports that match filter (all when none).
  void setFilter(const std::optional<LogFilter> &filter);
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
  bool isReport(int i) const { return rows_[size_t(i)].isReport(); }
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

  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index,
                int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

private:
  // Reports shown, announced or not.
  int shownCount() const;
  bool shows(const LogRow &row) const;
  // Stamps row with the clock's time unless it is recorded.
  void push(LogRow row, const std::optional<InterfaceIdentity> &source,
            bool recorded = false);
  QString sourceText(const LogRow &row) const;
  // What a loss marker or an event says, in the Decoded column.
  QString eventText(const LogRow &row) const;
  double secondsSinceFirst(const LogRow &row) const;
  QString timeText(int i) const;

  std::deque<LogRow> rows_;
  QList<InterfaceIdentity> sources_;
  QList<QString> sourceTexts_; // "A 1000 if1", by source index
  std::optional<LogFilter> filter_;
  std::vector<bool> sourceMatches_; // by source index, under the filter
  std::vector<uint32_t> shown_;     // the reports shown, under a filter
  int announcedRows_ = 0;
  TimeMode timeMode_ = TimeMode::SinceFirst;
  QElapsedTimer clock_;
  QDateTime clockStart_;
  QTimer frame_;
  LogRecorder *recorder_ = nullptr;
};

#endif
