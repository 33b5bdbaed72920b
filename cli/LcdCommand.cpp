// lcd: the display's reports as one command. Show the text on the first
// line with a blinking block cursor (LCD mode on, initialise, which clears
// the display, write), then read it back from the first position; with
// --read only LCD mode on and the read-back of the first line. Every report
// sent and every answer is printed. The order of the sending and waiting is
// the display exchange's (core/reports/DisplayReports.h), as in the explorer's
// display panel.
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/ReportListener.h"
#include "cli/StopRequests.h"

#include "core/reports/DisplayReports.h"

namespace cli {

namespace {

// The interface's display, listened to for its answers.
class Display {
public:
  Display(const ListedInterface &interface, ReportPrinter &printer)
      : interface_(interface), printer_(printer),
        listener_(interface, printer) {}

  bool arm() { return listener_.arm(); }

  // Runs exchange: sends its reports, waiting for the answer to each read
  // request.
  int run(core::DisplayExchange &exchange) {
    while (!exchange.finished()) {
      while (const std::optional<core::Interface1Report> report =
                 exchange.next())
        if (!SendReport(interface_, report->data(), int(report->size()),
                        printer_))
          return kExitTransferFailed;
      if (const int status = awaitAnswer(exchange); status != kExitSuccess)
        return status;
    }
    return kExitSuccess;
  }

private:
  int awaitAnswer(core::DisplayExchange &exchange) {
    if (!exchange.awaitsAnswer())
      return kExitSuccess;
    QEventLoop loop;
    listener_.onReport = [&](const uint8_t *report, int size) {
      if (exchange.takeAnswer(report, size_t(size)))
        loop.exit(kExitSuccess);
    };
    const int status =
        RunUntilDone(loop, core::kDisplayAnswerTimeoutMS, kExitTimedOut);
    listener_.onReport = nullptr;
    if (status == kExitTimedOut)
      PrintError(core::DisplayAnswerMissing(interface_.identity.displayName()));
    return status;
  }

  ListedInterface interface_;
  ReportPrinter &printer_;
  ReportListener listener_;
};

} // namespace

int DriveDisplay(const Invocation &invocation,
                 const ListedInterface &interface) {
  QString reason;
  const std::optional<std::vector<core::Interface1Report>> show =
      invocation.lcdRead
          ? std::vector<core::Interface1Report>{core::LcdModeReport(true)}
          : core::ShowReports(invocation.text, {},
                              core::DisplayCursor::BlinkingBlock, &reason);
  if (!show) {
    PrintError(reason);
    return kExitBadArguments;
  }
  ReportPrinter printer(invocation.json);
  Display display(interface, printer);
  if (!display.arm())
    return kExitTransferFailed;
  core::DisplayExchange exchange(
      *show, core::DisplayReadBack(1, invocation.lcdRead
                                          ? core::kDisplayColumns
                                          : int(invocation.text.size())));
  return display.run(exchange);
}

} // namespace cli
