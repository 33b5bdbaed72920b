// An interface armed for interrupt reports, each printed as it arrives: for
// an interface 1 its first byte is the report ID, an interface 0's reports
// have none. Reports lost on the way are printed as a gap.
#ifndef PINWORTH_CLI_REPORT_LISTENER_H
#define PINWORTH_CLI_REPORT_LISTENER_H

#include "cli/Interfaces.h"
#include "cli/Output.h"
#include "core/ArmedInterfaces.h"

#include <functional>

class ReportListener {
public:
  ReportListener(const ListedInterface &interface, ReportPrinter &printer);

  // Arms the interface; on failure says why on standard error.
  bool arm();

  // Called after each report is printed, with the report as the interface
  // sent it (led by its report ID on an interface 1).
  std::function<void(const uint8_t *report, int size)> onReport;

private:
  static void Deliver(void *target, hid::Status result, void *refcon,
                      void *sender, uint32_t bufferSize);

  ListedInterface interface_;
  ReportPrinter &printer_;
  ArmedInterfaces armed_;
};

#endif
