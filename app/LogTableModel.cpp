#include "LogTableModel.h"

#include <QMetaObject>

#include <algorithm>
#include <array>

namespace {

struct Column {
  QString identifier;
  QString title;
};

const std::array<Column, 2 + kLogRowMaxDataSize> &columns() {
  static const std::array<Column, 2 + kLogRowMaxDataSize> kColumns = [] {
    std::array<Column, 2 + kLogRowMaxDataSize> table;
    table[0] = {kReportDirectionKey, QStringLiteral("R/W")};
    table[1] = {kReportIDKey, QStringLiteral("Report ID")};
    for (int offset = 0; offset < kLogRowMaxDataSize; ++offset)
      table[2 + offset] = {QString::number(offset),
                           QStringLiteral("Byte %1").arg(offset)};
    return table;
  }();
  return kColumns;
}

// Offsets a report without report ID can carry: 0 to 3.
constexpr int kLastOffsetWithoutReportID = 3;

} // namespace

LogTableModel::LogTableModel(QObject *parent) : QAbstractTableModel(parent) {}

void LogTableModel::append(bool isOutput, int32_t reportID, int size,
                           const uint8_t *data) {
  LogRow row;
  row.isOutput = isOutput;
  row.reportID = reportID;
  row.size = static_cast<uint8_t>(std::clamp(size, 0, kLogRowMaxDataSize));
  std::copy_n(data, row.size, row.data);
  rows_.push_back(row);
  if (!announcementScheduled_) {
    announcementScheduled_ = true;
    QMetaObject::invokeMethod(this, &LogTableModel::announceAppendedRows,
                              Qt::QueuedConnection);
  }
}

void LogTableModel::announceAppendedRows() {
  announcementScheduled_ = false;
  const int total = reportCount();
  if (total == announcedRows_)
    return;
  beginInsertRows(QModelIndex(), announcedRows_, total - 1);
  announcedRows_ = total;
  endInsertRows();
}

void LogTableModel::clear() {
  beginResetModel();
  std::deque<LogRow>().swap(rows_);
  announcedRows_ = 0;
  endResetModel();
}

ReportRecord LogTableModel::record(int i) const {
  const LogRow &row = rows_.at(static_cast<size_t>(i));
  return ReportRecord{
      row.isOutput ? kReportDirectionOut : kReportDirectionIn, row.reportID,
      QByteArray(reinterpret_cast<const char *>(row.data), row.size),
      QString()};
}

const QString &LogTableModel::hexByteText(uint8_t byte) {
  static const std::array<QString, 256> kTexts = [] {
    std::array<QString, 256> texts;
    for (int value = 0; value < 256; ++value)
      texts[value] = QString::asprintf("0x%02x", value);
    return texts;
  }();
  return kTexts[byte];
}

QString LogTableModel::cellText(const LogRow &row, const QString &identifier) {
  static const QString kIn = kReportDirectionIn;
  static const QString kOut = kReportDirectionOut;
  if (identifier == kReportDirectionKey)
    return row.isOutput ? kOut : kIn;
  if (identifier == kReportIDKey) {
    if (row.reportID == kNoReportID)
      return QString();
    if (row.reportID >= 0 && row.reportID <= 255)
      return hexByteText(static_cast<uint8_t>(row.reportID));
    return QString::asprintf("0x%02x", static_cast<unsigned>(row.reportID));
  }
  bool isOffset = false;
  const int offset = identifier.toInt(&isOffset);
  if (!isOffset || offset < 0 || offset >= row.size)
    return QString();
  if (row.reportID == kNoReportID && offset > kLastOffsetWithoutReportID)
    return QString();
  return hexByteText(row.data[offset]);
}

int LogTableModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : announcedRows_;
}

int LogTableModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns().size());
}

QVariant LogTableModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid() || index.row() >= announcedRows_)
    return QVariant();
  switch (role) {
  case Qt::DisplayRole:
    return cellText(rows_[static_cast<size_t>(index.row())],
                    columns()[static_cast<size_t>(index.column())].identifier);
  case Qt::TextAlignmentRole:
    return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
  default:
    return QVariant();
  }
}

QVariant LogTableModel::headerData(int section, Qt::Orientation orientation,
                                   int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
    return QAbstractTableModel::headerData(section, orientation, role);
  const Column &column = columns()[static_cast<size_t>(section)];
  if (role == Qt::DisplayRole)
    return column.title;
  if (role == kColumnIdentifierRole)
    return column.identifier;
  return QVariant();
}
