// lcd: the display's reports as one command. Show the text on the first
// line with a blinking block cursor (LCD mode on, initialise, which clears
// the display, write), then read it back from the first position; with
// --read only LCD mode on and the read-back of the first line. Every report
// sent and every answer is printed.
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/ReportListener.h"
#include "cli/StopRequests.h"

#include "core/DisplayReports.h"

namespace {

// How long the device may take to answer a read request.
constexpr int kAnswerTimeoutMS = 1000;

class Display {
public:
  Display(const ListedInterface &interface, ReportPrinter &printer)
      : interface_(interface), printer_(printer),
        listener_(interface, printer) {}

  bool arm() { return listener_.arm(); }

  // Sends report; on failure says why and returns false.
  bool send(const Interface1Report &report) {
    return SendReport(interface_, report.data(), int(report.size()), printer_);
  }

  // Sends the steps of readBack, waiting for the answer to each read
  // request.
  int readBack(DisplayReadBack &readBack) {
    for (const DisplayReadBack::Step &step : readBack.steps()) {
      if (!send(step.report))
        return kExitTransferFailed;
      if (!step.awaitsAnswer)
        continue;
      QEventLoop loop;
      listener_.onReport = [&](const uint8_t *report, int size) {
        if (readBack.takeAnswer(report, size_t(size)))
          loop.exit(kExitSuccess);
      };
      const int status = RunUntilDone(loop, kAnswerTimeoutMS, kExitTimedOut);
      listener_.onReport = nullptr;
      if (status == kExitTimedOut)
        PrintError(QStringLiteral("%1 did not answer the display read "
                                  "request within a second")
                       .arg(interface_.identity.displayName()));
      if (status != kExitSuccess)
        return status;
    }
    return kExitSuccess;
  }

private:
  ListedInterface interface_;
  ReportPrinter &printer_;
  ReportListener listener_;
};

} // namespace

int DriveDisplay(const Invocation &invocation,
                 const ListedInterface &interface) {
  QString reason;
  const std::optional<std::vector<Interface1Report>> show =
      invocation.lcdRead ? std::vector<Interface1Report>{LcdModeReport(true)}
                         : ShowReports(invocation.text, {},
                                       DisplayCursor::BlinkingBlock, &reason);
  if (!show) {
    PrintError(reason);
    return kExitBadArguments;
  }
  ReportPrinter printer(invocation.json);
  Display display(interface, printer);
  if (!display.arm())
    return kExitTransferFailed;
  for (const Interface1Report &report : *show)
    if (!display.send(report))
      return kExitTransferFailed;
  DisplayReadBack readBack(1, invocation.lcdRead ? kDisplayColumns
                                                 : int(invocation.text.size()));
  return display.readBack(readBack);
}
