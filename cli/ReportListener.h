// An interface listened to for interrupt reports, each printed as it
// arrives: for an interface 1 its first byte is the report ID, an interface
// 0's reports have none. Reports lost on the way are printed as a gap, and
// a reader refused real-time priority is told of.
#ifndef PINWORTH_CLI_REPORT_LISTENER_H
#define PINWORTH_CLI_REPORT_LISTENER_H

#include "cli/Interfaces.h"
#include "cli/Output.h"
#include "cli/PriorityRefusalNotice.h"
#include "core/interfaces/InterfaceListeners.h"

#include <functional>

namespace cli {

class ReportListener : private core::InterfaceListeners::Listener {
public:
  ReportListener(const ListedInterface &interface, ReportPrinter &printer);
  ~ReportListener();

  // Arms the interface; on failure says why on standard error.
  bool arm();

  // Called after each report is printed, with the report as the interface
  // sent it (led by its report ID on an interface 1).
  std::function<void(const uint8_t *report, int size)> onReport;

private:
  void interruptReport(const core::InterfaceIdentity &source,
                       const uint8_t *report, uint32_t size,
                       hid::ReportTime readAt) override;
  void reportsLost(const core::InterfaceIdentity &source, uint64_t count,
                   hid::ReportTime readAt) override;
  // pinworth listens once: the list is never rebuilt under it.
  void listeningFailed(const core::InterfaceIdentity &, hid::Status) override {}
  // listen ends on its own when its device goes (see ListenCommand.cpp).
  void interfaceGone(const core::InterfaceIdentity &) override {}

  ListedInterface interface_;
  ReportPrinter &printer_;
  core::InterfaceListeners listeners_;
  PriorityRefusalNotice priorityRefusal_;
};

} // namespace cli

#endif
