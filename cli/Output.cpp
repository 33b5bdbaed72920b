#include "cli/Output.h"

#include "core/JsonText.h"
#include "core/ReportDecoder.h"
#include "core/ReportLine.h"
#include "core/ReportRecord.h"

#include <QElapsedTimer>

#include <cstdio>

void PrintLine(const QString &line) {
  const QByteArray text = line.toUtf8() + '\n';
  std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
  std::fflush(stdout);
}

namespace {

QElapsedTimer gReportClock;

// Seconds on the report clock, which this starts when it has not started.
double ReportSeconds() {
  if (!gReportClock.isValid()) {
    gReportClock.start();
    return 0;
  }
  return double(gReportClock.nsecsElapsed()) / 1e9;
}

} // namespace

void PrintError(const QString &message) {
  QString shown;
  for (QChar c : message)
    if (c.unicode() < 0x20 || c.unicode() == 0x7f)
      shown += QString::asprintf("\\x%02x", unsigned(c.unicode()));
    else
      shown += c;
  std::fprintf(stderr, "pinworth: %s\n", shown.toLocal8Bit().constData());
  std::fflush(stderr);
}

void StartReportClock() {
  gReportClock.start();
}

void ReportPrinter::printReport(bool isOutput, const uint8_t *report, int size,
                                const InterfaceIdentity &source) {
  if (source.interfaceNumber() == 0)
    print(isOutput, kNoReportID, report, size, source);
  else
    print(isOutput, report[0], report + 1, size - 1, source);
}

void ReportPrinter::print(bool isOutput, int32_t reportID, const uint8_t *data,
                          int size, const InterfaceIdentity &source) {
  const double time = ReportSeconds();
  const QString meaning = DecodeReport(isOutput, reportID, data, size);
  if (!json_) {
    PrintLine(ReportTextLine(time, SourceText(source), isOutput ? 'W' : 'R',
                             reportID, data, size, meaning));
    return;
  }
  const QByteArray bytes =
      QByteArray(reinterpret_cast<const char *>(data), size).toHex(' ');
  PrintLine(QStringLiteral("{\"time\":%1,\"source\":%2,\"direction\":\"%3\","
                           "\"report_id\":%4,\"data\":\"%5\",\"decoded\":%6}")
                .arg(QString::asprintf("%.6f", time),
                     QString::fromUtf8(json::Quote(source.key())),
                     isOutput ? QStringLiteral("W") : QStringLiteral("R"),
                     reportID == kNoReportID ? QStringLiteral("null")
                                             : QString::number(reportID),
                     QString::fromLatin1(bytes),
                     QString::fromUtf8(json::Quote(meaning))));
}

void ReportPrinter::printLoss(uint32_t count, const InterfaceIdentity &source) {
  const double time = ReportSeconds();
  if (json_) {
    PrintLine(QStringLiteral("{\"time\":%1,\"source\":%2,\"lost\":%3}")
                  .arg(QString::asprintf("%.6f", time),
                       QString::fromUtf8(json::Quote(source.key())))
                  .arg(count));
    return;
  }
  PrintLine(ReportTextLine(time, SourceText(source), '!', kNoReportID, nullptr,
                           0,
                           QStringLiteral("%1 reports lost: pinworth could not "
                                          "keep up")
                               .arg(count)));
}
