// What pinworth prints on standard output: lines flushed one by one, so that
// a pipe or a terminal sees each report as it comes, and reports in the
// log's own text format or as JSON objects, one a line.
#ifndef PINWORTH_CLI_OUTPUT_H
#define PINWORTH_CLI_OUTPUT_H

#include "core/interfaces/InterfaceIdentity.h"
#include "platform/HIDServices.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace cli {

void PrintLine(const QString &line);
// "pinworth: <message>" on standard error, its control characters shown as
// \xHH, so that a NUL or a terminal's escape from the input neither cuts
// the message short nor acts on the terminal.
void PrintError(const QString &message);

// The time column: one clock for the whole run, of the time each report was
// read or written. It starts at the first report printed, unless
// StartReportClock() started it before (a session does when it starts, a
// sequence when it starts outside a session).
void StartReportClock();

class ReportPrinter {
public:
  explicit ReportPrinter(bool json) : json_(json) {}

  // A report sent (isOutput) or read, at the time it was read or written
  // (now when not given); reportID kNoReportID for none.
  void print(bool isOutput, int32_t reportID, const uint8_t *data, int size,
             const core::InterfaceIdentity &source,
             std::optional<hid::ReportTime> at = std::nullopt);
  // A whole report as the interface takes or sends it: led by its report ID
  // on an interface 1.
  void printReport(bool isOutput, const uint8_t *report, int size,
                   const core::InterfaceIdentity &source,
                   std::optional<hid::ReportTime> at = std::nullopt);
  // count reports from source were lost before they could be printed (before
  // the one read at at, when given).
  void printLoss(uint32_t count, const core::InterfaceIdentity &source,
                 std::optional<hid::ReportTime> at = std::nullopt);

  // The same, at seconds given rather than on the printer's clock, from a
  // source that may be unknown ("-", null in JSON): a capture's rows.
  void printAt(double seconds, bool isOutput, int32_t reportID,
               const uint8_t *data, int size,
               const std::optional<core::InterfaceIdentity> &source);
  void printLossAt(double seconds, uint32_t count,
                   const std::optional<core::InterfaceIdentity> &source,
                   const QString &meaning);
  // Something that happened rather than a report: "*" in the direction
  // column, or a JSON object with "event" (and "text" when given).
  void printEvent(double seconds,
                  const std::optional<core::InterfaceIdentity> &source,
                  const QString &event, const QString &text);

private:
  bool json_;
};

} // namespace cli

#endif
