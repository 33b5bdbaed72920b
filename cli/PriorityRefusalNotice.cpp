#include "cli/PriorityRefusalNotice.h"

#include "cli/Output.h"
#include "platform/ReaderPriority.h"

namespace cli {

namespace {

// Prints the refusal once a run; whether it has been printed.
bool TellOnce() {
  static bool told = false;
  if (!told) {
    const std::string notice = hid::ReaderPriorityNotice();
    told = !notice.empty();
    if (told)
      PrintError(QString::fromStdString(notice));
  }
  return told;
}

} // namespace

PriorityRefusalNotice::PriorityRefusalNotice() {
  QObject::connect(&check_, &QTimer::timeout, [this] {
    if (TellOnce())
      check_.stop();
  });
  check_.start(100);
}

PriorityRefusalNotice::~PriorityRefusalNotice() {
  TellOnce();
}

} // namespace cli
