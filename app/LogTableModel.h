// The report log and the table model that shows it.
//
// Each report sent or received is one compact row, oldest first. A row costs
// 16 bytes and holds no string, variant or other heap object; the cells are
// formatted when the view asks for them, from 256 strings built once.
//
// Rows appended within one turn of the event loop are announced to the views
// together, with one rowsInserted, at the start of the next turn: a view
// attached to a million-row log then spends about as much per append as at a
// thousand rows. reportCount() and record() see every report at once;
// rowCount() sees the rows announced so far.
#ifndef PINWORTH_EXPLORER_LOG_TABLE_MODEL_H
#define PINWORTH_EXPLORER_LOG_TABLE_MODEL_H

#include "ReportRecord.h"

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <deque>

// The most data bytes a log row keeps: a report of an interface 1 is a report
// ID byte and 7 data bytes, and one of an interface 0 is 4 data bytes.
inline constexpr int kLogRowMaxDataSize = 7;

// One logged report.
struct LogRow {
  int32_t reportID = kNoReportID;
  bool isOutput = false; // sent to the device ("W") rather than read ("R")
  uint8_t size = 0;      // data bytes held, 0..kLogRowMaxDataSize
  uint8_t data[kLogRowMaxDataSize] = {};
};
static_assert(sizeof(LogRow) <= 16);

class LogTableModel : public QAbstractTableModel {
  Q_OBJECT
public:
  // The role under which headerData() gives a column's identifier ("R/W",
  // "Id", or a byte offset "0" to "6").
  static constexpr int kColumnIdentifierRole = Qt::UserRole;

  explicit LogTableModel(QObject *parent = nullptr);

  // Appends a report; size is the number of data bytes at data, of which at
  // most kLogRowMaxDataSize are kept. The views learn of it at the next turn
  // of the event loop.
  void append(bool isOutput, int32_t reportID, int size, const uint8_t *data);
  // Removes every row and resets the views at once.
  void clear();

  // The reports appended so far, announced as rows or not.
  int reportCount() const { return static_cast<int>(rows_.size()); }
  // Report i (0 <= i < reportCount()) as a report record with an empty name.
  ReportRecord record(int i) const;

  // The text of a cell: the row's value for the column identifier. "R/W"
  // gives "R" or "W"; "Id" gives "0x%02x" of the report ID, or nothing for a
  // report without one; any other identifier is a byte offset into the data,
  // whose byte shows as "0x%02x", and nothing for offsets a report does not
  // have (4 to 6 of a report without report ID).
  static QString cellText(const LogRow &row, const QString &identifier);
  // "0x%02x" of a byte; built once, so returning it allocates nothing.
  static const QString &hexByteText(uint8_t byte);

  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index,
                int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

private:
  void announceAppendedRows();

  std::deque<LogRow> rows_;
  int announcedRows_ = 0;
  bool announcementScheduled_ = false;
};

#endif
