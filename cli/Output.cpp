#include "cli/Output.h"

#include "core/reports/ReportDecoder.h"
#include "core/reports/ReportLine.h"
#include "core/reports/ReportRecord.h"
#include "core/text/JsonText.h"

#include <cstdio>
#include <optional>

namespace cli {

void PrintLine(const QString &line) {
  const QByteArray text = line.toUtf8() + '\n';
  std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
  std::fflush(stdout);
}

namespace {

std::optional<hid::ReportTime> gReportClock; // when it started

// The seconds of at on the report clock, which starts at at when it has not
// started.
double ReportSeconds(hid::ReportTime at = std::chrono::steady_clock::now()) {
  if (!gReportClock)
    gReportClock = at;
  return std::chrono::duration<double>(at - *gReportClock).count();
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
  ReportSeconds();
}

void ReportPrinter::printReport(bool isOutput, const uint8_t *report, int size,
                                const core::InterfaceIdentity &source,
                                std::optional<hid::ReportTime> at) {
  if (source.interfaceNumber() == 0)
    print(isOutput, core::kNoReportID, report, size, source, at);
  else
    print(isOutput, report[0], report + 1, size - 1, source, at);
}

void ReportPrinter::print(bool isOutput, int32_t reportID, const uint8_t *data,
                          int size, const core::InterfaceIdentity &source,
                          std::optional<hid::ReportTime> at) {
  printAt(at ? ReportSeconds(*at) : ReportSeconds(), isOutput, reportID, data,
          size, source);
}

void ReportPrinter::printLoss(uint32_t count,
                              const core::InterfaceIdentity &source,
                              std::optional<hid::ReportTime> at) {
  printLossAt(
      at ? ReportSeconds(*at) : ReportSeconds(), count, source,
      QStringLiteral("%1 reports lost: pinworth could not keep up").arg(count));
}

namespace {

QString SourceColumn(const std::optional<core::InterfaceIdentity> &source) {
  return source ? core::SourceText(*source) : QStringLiteral("-");
}

QString SourceJson(const std::optional<core::InterfaceIdentity> &source) {
  return source ? QString::fromUtf8(core::json::Quote(source->key()))
                : QStringLiteral("null");
}

QString TimeJson(double seconds) {
  return QString::asprintf("%.6f", seconds);
}

} // namespace

void ReportPrinter::printAt(
    double time, bool isOutput, int32_t reportID, const uint8_t *data, int size,
    const std::optional<core::InterfaceIdentity> &source) {
  const QString meaning = core::DecodeReport(isOutput, reportID, data, size);
  if (!json_) {
    PrintLine(core::ReportTextLine(time, SourceColumn(source),
                                   isOutput ? 'W' : 'R', reportID, data, size,
                                   meaning));
    return;
  }
  const QByteArray bytes =
      QByteArray(reinterpret_cast<const char *>(data), size).toHex(' ');
  PrintLine(QStringLiteral("{\"time\":%1,\"source\":%2,\"direction\":\"%3\","
                           "\"report_id\":%4,\"data\":\"%5\",\"decoded\":%6}")
                .arg(TimeJson(time), SourceJson(source),
                     isOutput ? QStringLiteral("W") : QStringLiteral("R"),
                     reportID == core::kNoReportID ? QStringLiteral("null")
                                                   : QString::number(reportID),
                     QString::fromLatin1(bytes),
                     QString::fromUtf8(core::json::Quote(meaning))));
}

void ReportPrinter::printLossAt(
    double time, uint32_t count,
    const std::optional<core::InterfaceIdentity> &source,
    const QString &meaning) {
  if (json_) {
    PrintLine(QStringLiteral("{\"time\":%1,\"source\":%2,\"lost\":%3}")
                  .arg(TimeJson(time), SourceJson(source))
                  .arg(count));
    return;
  }
  PrintLine(core::ReportTextLine(time, SourceColumn(source), '!',
                                 core::kNoReportID, nullptr, 0, meaning));
}

void ReportPrinter::printEvent(
    double time, const std::optional<core::InterfaceIdentity> &source,
    const QString &event, const QString &text) {
  if (json_) {
    const QString textField =
        text.isEmpty() ? QString()
                       : QStringLiteral(",\"text\":") +
                             QString::fromUtf8(core::json::Quote(text));
    PrintLine(QStringLiteral("{\"time\":%1,\"source\":%2,\"event\":%3%4}")
                  .arg(TimeJson(time), SourceJson(source),
                       QString::fromUtf8(core::json::Quote(event)), textField));
    return;
  }
  PrintLine(core::ReportTextLine(time, SourceColumn(source), '*',
                                 core::kNoReportID, nullptr, 0,
                                 text.isEmpty() ? event : event + ": " + text));
}

} // namespace cli
