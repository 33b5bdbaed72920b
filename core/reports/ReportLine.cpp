#include "core/reports/ReportLine.h"

#include "core/reports/ReportRecord.h"

#include <QByteArray>

namespace core {

QString SourceText(const InterfaceIdentity &source) {
  return QStringLiteral("%1 %2 if%3")
      .arg(source.modelName().right(1))
      .arg(source.serialNumber)
      .arg(source.interfaceNumber());
}

QString ReportIDText(int32_t reportID) {
  return reportID == kNoReportID
             ? QStringLiteral("--")
             : QString::asprintf("%02x", static_cast<unsigned>(reportID));
}

QString ReportTextLine(double seconds, const QString &source, QChar direction,
                       int32_t reportID, const uint8_t *data, int size,
                       const QString &meaning) {
  const QString bytes = QString::fromLatin1(
      QByteArray(reinterpret_cast<const char *>(data), size).toHex(' '));
  return QStringLiteral("%1  %2  %3  %4  %5  %6")
      .arg(QString::asprintf("%14.6f", seconds))
      .arg(source, -12)
      .arg(direction)
      .arg(ReportIDText(reportID), -2)
      .arg(bytes, -20)
      .arg(meaning);
}

} // namespace core
