#include "app/log/LogTableModel.h"

#include "core/reports/LogRowText.h"
#include "core/reports/ReportDecoder.h"
#include "core/reports/ReportLine.h"

#include <algorithm>
#include <array>

namespace explorer {

namespace {

struct ColumnTitle {
  QString identifier;
  QString title;
};

const std::array<ColumnTitle, LogTableModel::kColumnCount> &columns() {
  static const auto kColumns = [] {
    std::array<ColumnTitle, LogTableModel::kColumnCount> table;
    table[LogTableModel::kDirectionColumn] = {core::kReportDirectionKey, "R/W"};
    // Short titles, so that every column fits the window at first.
    table[LogTableModel::kReportIDColumn] = {core::kReportIDKey, "ID"};
    for (int offset = 0; offset < kLogRowMaxDataSize; ++offset)
      table[LogTableModel::kFirstByteColumn + offset] = {
          QString::number(offset), QString::number(offset)};
    table[LogTableModel::kTimeColumn] = {"Time", "Time"};
    table[LogTableModel::kSourceColumn] = {"Source", "Source"};
    table[LogTableModel::kDecodedColumn] = {"Decoded", "Decoded"};
    table[LogTableModel::kAsciiColumn] = {"ASCII", "ASCII"};
    return table;
  }();
  return kColumns;
}

// Offsets a report without report ID can carry: 0 to 3.
constexpr int kLastOffsetWithoutReportID = 3;

} // namespace

LogTableModel::LogTableModel(QObject *parent) : QAbstractTableModel(parent) {
  format_.clockStartUnixUS = QDateTime::currentMSecsSinceEpoch() * 1000;
  frame_.setSingleShot(true);
  frame_.setInterval(kFrameMS);
  connect(&frame_, &QTimer::timeout, this, &LogTableModel::announce);
  work_.setSingleShot(true);
  work_.setInterval(0);
  connect(&work_, &QTimer::timeout, this, &LogTableModel::announce);
}

void LogTableModel::append(bool isOutput, int32_t reportID, int size,
                           const uint8_t *data,
                           const std::optional<core::InterfaceIdentity> &source,
                           std::optional<hid::ReportTime> at) {
  LogRow row;
  row.time = at ? timeUS(*at) : clockUS();
  row.reportID = reportID;
  const int kept = std::clamp(size, 0, kLogRowMaxDataSize);
  row.flags = uint8_t(kept) | (isOutput ? LogRow::kOutputFlag : 0);
  std::copy_n(data, kept, row.data);
  push(row, source);
}

void LogTableModel::appendLoss(
    uint64_t count, const std::optional<core::InterfaceIdentity> &source,
    std::optional<hid::ReportTime> at) {
  LogRow row;
  row.time = at ? timeUS(*at) : clockUS();
  row.reportID = int32_t(std::min<uint64_t>(count, INT32_MAX));
  row.flags = LogRow::kLossFlag;
  push(row, source);
}

void LogTableModel::appendEvent(LogEvent event,
                                const core::InterfaceIdentity &source) {
  LogRow row;
  row.time = clockUS();
  row.flags = LogRow::kEventFlag;
  row.data[0] = uint8_t(event);
  push(row, source);
}

void LogTableModel::appendCaptureStopped() {
  LogRow row;
  row.time = clockUS();
  row.flags = LogRow::kEventFlag;
  row.data[0] = uint8_t(LogEvent::CaptureStopped);
  push(row, std::nullopt);
}

void LogTableModel::appendDeviceChanges(
    const QList<core::InterfaceIdentity> &left,
    const QList<core::InterfaceIdentity> &came) {
  for (const core::InterfaceIdentity &device : left)
    appendEvent(LogEvent::Unplugged, device);
  for (const core::InterfaceIdentity &device : came)
    appendEvent(LogEvent::PluggedIn, device);
}

uint16_t LogTableModel::sourceIndex(const core::InterfaceIdentity &source) {
  qsizetype index = format_.sources.indexOf(source);
  if (index < 0 && format_.sources.size() < LogRow::kNoSource) {
    index = format_.sources.size();
    format_.sources.append(source);
    format_.sourceTexts.append(core::SourceText(source));
    if (filter_)
      sourceMatches_.push_back(source.key().startsWith(filter_->sourcePrefix));
  }
  return index < 0 ? LogRow::kNoSource : uint16_t(index);
}

void LogTableModel::push(LogRow row,
                         const std::optional<core::InterfaceIdentity> &source) {
  if (rows_.size() == kMostRowsInMemory - 1) {
    LogRow full;
    full.time = row.time;
    full.reportID = 0;
    full.flags = LogRow::kLossFlag;
    full.data[0] = LogRow::kMemoryFullLoss;
    keep(full, std::nullopt);
  }
  if (rows_.size() < kMostRowsInMemory)
    return keep(row, source);
  int32_t &unkept = rows_.back().reportID;
  unkept = std::min(unkept, INT32_MAX - 1) + 1;
  unkeptCounted_ = true;
  if (!frame_.isActive())
    frame_.start();
}

void LogTableModel::keep(LogRow row,
                         const std::optional<core::InterfaceIdentity> &source) {
  row.source = source ? sourceIndex(*source) : LogRow::kNoSource;
  rows_.push_back(row);
  if (recorder_)
    recorder_->rowAppended(row, row.source == LogRow::kNoSource
                                    ? nullptr
                                    : &format_.sources[row.source]);
  // Rows the filter has not reached yet are filtered when it does.
  if (filter_ && shown_.size() == uint64_t(reportCount()) - 1)
    shown_.append(shows(row));
  if (!frame_.isActive() && shownCount() > announcedRows_)
    frame_.start();
}

void LogTableModel::setRecorder(LogRecorder *recorder) {
  if (storedCount_ > 0)
    forgetStored();
  recorder_ = recorder;
  // A recorder stores the rows appended after it came: only a log that
  // begins with it can read them back as its own.
  stored_ = reportCount() == 0 ? recorder : nullptr;
}

void LogTableModel::showStored(StoredRows *stored) {
  if (storedCount_ > 0)
    forgetStored();
  stored_ = stored;
  announce();
}

void LogTableModel::forgetStored() {
  beginResetModel();
  storedCount_ = 0;
  stored_ = nullptr;
  shown_.clear();
  announcedRows_ = 0;
  endResetModel();
  announce();
}

bool LogTableModel::takeStored(StoredRows::Deadline deadline) {
  if (!stored_)
    return false;
  const bool more = stored_->refresh(deadline);
  const uint64_t count = stored_->count();
  if (count > storedCount_) {
    const auto fromMemory =
        std::min<uint64_t>(count - storedCount_, uint64_t(rows_.size()));
    rows_.erase(rows_.begin(), rows_.begin() + ptrdiff_t(fromMemory));
    storedCount_ = count;
  }
  return more;
}

bool LogTableModel::filterMore(StoredRows::Deadline deadline) {
  if (!filter_)
    return false;
  const auto total = uint64_t(reportCount());
  for (uint64_t i = shown_.size(); i < total; ++i) {
    shown_.append(shows(row(int(i))));
    if (i % 1024 == 1023 && std::chrono::steady_clock::now() >= deadline)
      break;
  }
  return shown_.size() < total;
}

void LogTableModel::announce() {
  const StoredRows::Deadline deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kSliceMS);
  const bool storedMore = takeStored(deadline);
  const bool wasFiltering = filtering();
  const bool filterRemains = filterMore(deadline);
  const bool more = storedMore || filterRemains;
  if (more)
    work_.start();
  // While work remains, the views hear of its rows once a frame, so that
  // they are not painted after every slice.
  const bool frameDue =
      !more || !announced_.isValid() || announced_.hasExpired(kFrameMS);
  const int total = shownCount();
  if (total > announcedRows_ && frameDue) {
    announced_.start();
    beginInsertRows(QModelIndex(), announcedRows_, total - 1);
    announcedRows_ = total;
    endInsertRows();
  }
  // The memory-full marker is the last report, shown under every filter.
  if (unkeptCounted_ && !filtering() && total > 0 && announcedRows_ == total) {
    unkeptCounted_ = false;
    emit dataChanged(index(total - 1, 0), index(total - 1, kColumnCount - 1));
  }
  // Caught up with rows still being read, it says so once a frame.
  if (wasFiltering && !filterRemains && (!storedMore || frameDue))
    emit filterDone();
  emit announced();
}

void LogTableModel::clear() {
  beginResetModel();
  std::deque<LogRow>().swap(rows_);
  storedCount_ = 0;
  stored_ = recorder_;
  shown_.clear();
  announcedRows_ = 0;
  unkeptCounted_ = false;
  startUS_ = clockUS();
  endResetModel();
  if (recorder_)
    recorder_->logCleared();
}

int LogTableModel::shownCount() const {
  return filter_ ? int(shown_.shownCount()) : reportCount();
}

// A loss marker is shown under every filter; an event is shown by its
// source, and under "event", but never by a term of a report's own.
bool LogTableModel::shows(const LogRow &row) const {
  if (!filter_ || row.isLoss() ||
      (row.isEvent() && row.source == LogRow::kNoSource))
    return true;
  const bool sourceMatches = row.source == LogRow::kNoSource
                                 ? filter_->sourcePrefix.isEmpty()
                                 : sourceMatches_[row.source];
  if (row.isEvent())
    return sourceMatches && !filter_->isOutput && !filter_->reportID &&
           filter_->pattern.empty();
  return !filter_->eventsOnly &&
         filter_->matches(row.isOutput(), row.reportID, row.data, row.size(),
                          sourceMatches);
}

void LogTableModel::setFilter(const std::optional<LogFilter> &filter) {
  beginResetModel();
  filter_ = filter;
  shown_.clear();
  sourceMatches_.clear();
  if (filter_)
    for (const core::InterfaceIdentity &source : format_.sources)
      sourceMatches_.push_back(source.key().startsWith(filter_->sourcePrefix));
  if (filterMore(std::chrono::steady_clock::now() +
                 std::chrono::milliseconds(kSliceMS)))
    work_.start();
  announcedRows_ = shownCount();
  endResetModel();
  if (filter_ && !filtering())
    emit filterDone();
}

void LogTableModel::setTimeMode(TimeMode mode) {
  timeMode_ = mode;
  emit headerDataChanged(Qt::Horizontal, kTimeColumn, kTimeColumn);
  if (announcedRows_ > 0)
    emit dataChanged(index(0, kTimeColumn),
                     index(announcedRows_ - 1, kTimeColumn));
}

int LogTableModel::reportAtRow(int row) const {
  return filter_ ? int(shown_.nthShown(uint64_t(row))) : row;
}

int LogTableModel::rowOfReport(int report) const {
  if (report < 0 || report >= reportCount())
    return -1;
  int row = report;
  if (filter_) {
    if (uint64_t(report) >= shown_.size() ||
        shown_.nextShown(uint64_t(report)) != uint64_t(report))
      return -1;
    row = int(shown_.shownBefore(uint64_t(report)));
  }
  return row < announcedRows_ ? row : -1;
}

QList<int> LogTableModel::reportsAtRows(int first, int last) const {
  QList<int> reports;
  reports.reserve(last - first + 1);
  for (int report = reportAtRow(first); reports.size() <= last - first;
       report = filter_ ? int(shown_.nextShown(uint64_t(report) + 1))
                        : report + 1)
    reports.append(report);
  return reports;
}

core::ReportRecord LogTableModel::record(int i) const {
  const LogRow row = this->row(i);
  if (!row.isReport())
    return core::ReportRecord{core::kReportDirectionIn, core::kNoReportID,
                              QByteArray(), QString()};
  return core::ReportRecord{
      row.isOutput() ? core::kReportDirectionOut : core::kReportDirectionIn,
      row.reportID,
      QByteArray(reinterpret_cast<const char *>(row.data), row.size()),
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

std::optional<core::InterfaceIdentity> LogTableModel::source(int i) const {
  const uint16_t source = row(i).source;
  if (source == LogRow::kNoSource)
    return std::nullopt;
  return format_.sources[source];
}

QString LogTableModel::timeText(int i) const {
  const LogRow row = this->row(i);
  switch (timeMode_) {
  case TimeMode::WallClock:
    return QDateTime::fromMSecsSinceEpoch(format_.clockStartUnixUS / 1000)
               .addMSecs(row.time / 1000)
               .toString("hh:mm:ss.zzz") +
           QString::asprintf("%03d", int(row.time % 1000));
  case TimeMode::Delta: {
    const uint64_t shownBefore =
        filter_ ? shown_.shownBefore(uint64_t(i)) : uint64_t(i);
    const int previous = shownBefore == 0 ? -1
                         : filter_ ? int(shown_.nthShown(shownBefore - 1))
                                   : i - 1;
    return previous < 0
               ? QStringLiteral("+0.000000")
               : QString::asprintf("+%.6f",
                                   double(row.time - this->row(previous).time) /
                                       1e6);
  }
  case TimeMode::SinceStart:
    break;
  }
  return QString::asprintf("%.6f", double(row.time - startUS_) / 1e6);
}

QString LogTableModel::cellText(int i, int column) const {
  const LogRow row = this->row(i);
  if (!row.isReport() && column != kTimeColumn && column != kSourceColumn) {
    static const QString kEvent = QStringLiteral("E"),
                         kLoss = QStringLiteral("!");
    if (column == kDirectionColumn)
      return row.isEvent() ? kEvent : kLoss;
    return column == kDecodedColumn ? format_.decodedText(row) : QString();
  }
  switch (column) {
  case kDirectionColumn: {
    static const QString kIn = core::kReportDirectionIn;
    static const QString kOut = core::kReportDirectionOut;
    return row.isOutput() ? kOut : kIn;
  }
  case kReportIDColumn:
    if (row.reportID == core::kNoReportID)
      return QString();
    if (row.reportID >= 0 && row.reportID <= 255)
      return hexByteText(static_cast<uint8_t>(row.reportID));
    return QString::asprintf("0x%02x", static_cast<unsigned>(row.reportID));
  case kTimeColumn:
    return timeText(i);
  case kSourceColumn:
    return format_.sourceText(row);
  case kDecodedColumn:
    return format_.decodedText(row);
  case kAsciiColumn:
    return core::AsciiText(row.data, row.size());
  default: {
    const int offset = column - kFirstByteColumn;
    if (offset < 0 || offset >= row.size() ||
        (row.reportID == core::kNoReportID &&
         offset > kLastOffsetWithoutReportID))
      return QString();
    return hexByteText(row.data[offset]);
  }
  }
}

QString LogTableModel::textLine(int i) const {
  return rowFormat().textLine(row(i));
}

LogRowFormat LogTableModel::rowFormat() const {
  LogRowFormat format = format_;
  format.startTimeUS = startUS_;
  return format;
}

QByteArray LogTableModel::csvHeader() {
  return core::CsvHeader();
}

QByteArray LogTableModel::csvRecord(int i) const {
  return rowFormat().csvRecord(row(i));
}

int LogTableModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : announcedRows_;
}

int LogTableModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant LogTableModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid() || index.row() >= announcedRows_)
    return QVariant();
  switch (role) {
  case Qt::DisplayRole:
    return cellText(reportAtRow(index.row()), index.column());
  case Qt::TextAlignmentRole:
    return QVariant::fromValue(Qt::Alignment(
        index.column() == kDecodedColumn ? Qt::AlignLeft | Qt::AlignVCenter
                                         : Qt::AlignCenter));
  default:
    return QVariant();
  }
}

QVariant LogTableModel::headerData(int section, Qt::Orientation orientation,
                                   int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
    return QAbstractTableModel::headerData(section, orientation, role);
  const ColumnTitle &column = columns()[static_cast<size_t>(section)];
  if (role == Qt::DisplayRole) {
    if (section == kTimeColumn && timeMode_ == TimeMode::WallClock)
      return QStringLiteral("Time of day");
    if (section == kTimeColumn && timeMode_ == TimeMode::Delta)
      return QStringLiteral("Delta (s)");
    if (section == kTimeColumn)
      return QStringLiteral("Time (s)");
    return column.title;
  }
  if (role == kColumnIdentifierRole)
    return column.identifier;
  if (role == Qt::TextAlignmentRole && section == kDecodedColumn)
    return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
  return QVariant();
}

} // namespace explorer
