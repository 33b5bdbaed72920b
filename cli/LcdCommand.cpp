// lcd: the display sequence of the built-in macros as one command. Mode on,
// initialise (which clears the display), write the text, back to the first
// position, read it back; with --read only mode on, first position and read
// one line. Every report sent and every answer is printed.
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/ReportListener.h"
#include "cli/StopRequests.h"

#include "core/DefaultMacros.h"

#include "lib/PinworthLib.h"
#include "platform/PinworthProtocol.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

using pinworth::kLCDDataRegister;
using pinworth::kLCDMaxCount;
using pinworth::kLCDReadReport;
using pinworth::kLCDWriteReport;

// How long the device may take to answer a read request.
constexpr int kAnswerTimeoutMS = 1000;

struct Report {
  uint8_t reportID;
  std::array<uint8_t, kDefaultMacroDataBytes> data;
};

Report Macro(DefaultMacroIndex index) {
  const DefaultMacro &macro = kDefaultMacroTable[index];
  return Report{uint8_t(macro.reportID), macro.data};
}

// The reports that write text to the display, up to kLCDMaxCount characters
// each, as "Write to display" writes "Test".
std::vector<Report> TextReports(const QByteArray &text) {
  std::vector<Report> reports;
  for (qsizetype at = 0; at < text.size(); at += kLCDMaxCount) {
    const size_t count =
        size_t(std::min<qsizetype>(kLCDMaxCount, text.size() - at));
    Report report{kLCDWriteReport, {uint8_t(kLCDDataRegister | count)}};
    for (size_t i = 0; i < count; ++i)
      report.data[1 + i] = uint8_t(text[at + qsizetype(i)]);
    reports.push_back(report);
  }
  return reports;
}

class Display {
public:
  Display(const ListedInterface &interface, ReportPrinter &printer)
      : interface_(interface), printer_(printer),
        listener_(interface, printer) {}

  bool arm() { return listener_.arm(); }

  // Sends report; on failure says why and returns false.
  bool send(const Report &report) {
    std::array<uint8_t, pinworth::kInterface1ReportSize> bytes{report.reportID};
    std::copy(report.data.begin(), report.data.end(), bytes.begin() + 1);
    return SendReport(interface_, bytes.data(), int(bytes.size()), printer_);
  }

  // Asks for count characters, at most kLCDMaxCount, and waits for the
  // answer.
  int read(int count) {
    if (!send(Report{kLCDReadReport, {uint8_t(kLCDDataRegister | count)}}))
      return kExitTransferFailed;
    QEventLoop loop;
    listener_.onReport = [&](int32_t reportID) {
      if (reportID == kLCDReadReport)
        loop.exit(kExitSuccess);
    };
    const int status = RunUntilDone(loop, kAnswerTimeoutMS, kExitTimedOut);
    listener_.onReport = nullptr;
    if (status == kExitTimedOut)
      PrintError(QStringLiteral("%1 did not answer the display read "
                                "request within a second")
                     .arg(interface_.identity.displayName()));
    return status;
  }

private:
  ListedInterface interface_;
  ReportPrinter &printer_;
  ReportListener listener_;
};

} // namespace

int DriveDisplay(const Invocation &invocation,
                 const ListedInterface &interface) {
  ReportPrinter printer(invocation.json);
  Display display(interface, printer);
  if (!display.arm())
    return kExitTransferFailed;
  const QByteArray text = invocation.text.toLatin1();
  std::vector<Report> sequence = {Macro(kEnableLCDModeMacro)};
  if (!invocation.lcdRead) {
    sequence.push_back(Macro(kInitDisplayMacro));
    for (const Report &report : TextReports(text))
      sequence.push_back(report);
  }
  sequence.push_back(Macro(kMoveToFirstLCDPositionMacro));
  for (const Report &report : sequence)
    if (!display.send(report))
      return kExitTransferFailed;
  const int length = invocation.lcdRead ? kMaxLcdText : int(text.size());
  for (int done = 0; done < length; done += kLCDMaxCount)
    if (const int status =
            display.read(std::min(length - done, int(kLCDMaxCount))))
      return status;
  return kExitSuccess;
}
