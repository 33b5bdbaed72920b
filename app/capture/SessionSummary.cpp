#include "app/capture/SessionSummary.h"

#include "app/capture/CaptureFileRows.h"
#include "capture/CaptureReader.h"
#include "core/interfaces/CaptureSources.h"

#include <QLocale>

namespace explorer {

namespace {

QString DurationText(int64_t us) {
  const int64_t seconds = us / 1000000;
  if (seconds < 1)
    return QStringLiteral("under 1 s");
  if (seconds < 60)
    return QStringLiteral("%1 s").arg(seconds);
  if (seconds < 3600)
    return QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60);
  return QStringLiteral("%1 h %2 min")
      .arg(seconds / 3600)
      .arg(seconds / 60 % 60);
}

} // namespace

std::optional<SessionSummary> SummarizeSession(const QString &path,
                                               QString *error) {
  std::string reason;
  std::unique_ptr<capture::CaptureReader> reader = capture::CaptureReader::open(
      path.toStdString(), &reason, capture::CaptureReader::Links::Refuse);
  if (!reader) {
    *error = QString::fromStdString(reason);
    return std::nullopt;
  }
  SessionSummary summary;
  summary.start =
      QDateTime::fromMSecsSinceEpoch(reader->header().startUnixUS / 1000);
  for (size_t source = 0; source < reader->interfaces().size(); ++source) {
    const std::optional<core::InterfaceIdentity> identity =
        core::IdentityOfSource(reader->interfaces(), uint16_t(source));
    if (!identity)
      continue;
    const QString device = QStringLiteral("%1 (SN %2)")
                               .arg(identity->modelName())
                               .arg(identity->serialNumber);
    if (!summary.devices.contains(device))
      summary.devices << device;
  }
  CaptureFileRows rows(std::move(reader), {});
  rows.refresh(StoredRows::Deadline::max());
  summary.rows = rows.count();
  if (summary.rows > 0)
    summary.durationUS = rows.row(summary.rows - 1).time;
  return summary;
}

QString SessionLabel(const SessionSummary &summary) {
  const QString devices = summary.devices.isEmpty()
                              ? QStringLiteral("no device")
                              : summary.devices.join(QStringLiteral(", "));
  return QStringLiteral("%1 · %2 · %3 · %4 rows")
      .arg(summary.start.toLocalTime().toString("yyyy-MM-dd HH:mm"),
           DurationText(summary.durationUS), devices,
           QLocale().toString(qulonglong(summary.rows)));
}

} // namespace explorer
