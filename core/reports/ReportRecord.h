// One report as the explorer keeps it in its macro list, and the keys under
// which a report record is stored.
#ifndef PINWORTH_EXPLORER_REPORT_RECORD_H
#define PINWORTH_EXPLORER_REPORT_RECORD_H

#include <QByteArray>
#include <QLatin1String>
#include <QString>

#include <cstdint>

namespace core {

inline constexpr QLatin1String kReportDirectionKey("R/W");
inline constexpr QLatin1String kReportIDKey("Id");
inline constexpr QLatin1String kReportDataKey("data");
inline constexpr QLatin1String kMacroNameKey("name");

inline constexpr QLatin1String kReportDirectionIn("R");
inline constexpr QLatin1String kReportDirectionOut("W");

// The user-defaults key of the macro list (it holds the user's macros too).
inline constexpr QLatin1String kDefaultMacrosKey("default macros");

inline constexpr int32_t kNoReportID = -1;

struct ReportRecord {
  QString direction; // kReportDirectionIn or kReportDirectionOut
  int32_t reportID = kNoReportID;
  QByteArray data; // the data bytes, never the report ID byte
  QString name;    // empty for a log entry

  friend bool operator==(const ReportRecord &, const ReportRecord &) = default;
};

} // namespace core

#endif
