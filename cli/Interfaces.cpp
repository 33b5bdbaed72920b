#include "cli/Interfaces.h"

#include "cli/Output.h"
#include "core/interfaces/InterfaceInfo.h"

#include "lib/PinworthLib.h"
#include "platform/PinworthProtocol.h"

namespace cli {

namespace {

QString NameText(const InterfaceName &name) {
  return name.position ? QString::number(*name.position) : name.identity->key();
}

std::optional<ListedInterface> AtPosition(int position) {
  const std::optional<core::InterfaceIdentity> identity =
      core::IdentityAtPosition(position);
  if (!identity)
    return std::nullopt;
  return ListedInterface{
      position, *identity,
      PinworthInterfaceListNodeAtIndex(position)->pinworthHIDInterface};
}

std::optional<ListedInterface> Find(const InterfaceName &name) {
  const int count = PinworthCountInterfaces();
  const int position =
      name.position ? *name.position : core::PositionOfIdentity(*name.identity);
  if (position < 0 || position >= count)
    return std::nullopt;
  return AtPosition(position);
}

void ReportMissing(const InterfaceName &name, const char *what) {
  PrintError(QStringLiteral("no %1 %2 is attached (pinworth list shows "
                            "those that are)")
                 .arg(QLatin1String(what), NameText(name)));
}

} // namespace

bool IsInterface0(const core::InterfaceIdentity &identity) {
  return identity.interfaceNumber() == 0;
}

int ReportSizeOf(const core::InterfaceIdentity &identity) {
  return int(pinworth::ReportSize(identity.interfaceNumber()));
}

std::optional<ListedInterface> FindInterface(const InterfaceName &name) {
  std::optional<ListedInterface> found = Find(name);
  if (!found)
    ReportMissing(name, "interface");
  return found;
}

std::optional<ListedInterface> FindDeviceInterface1(const InterfaceName &name) {
  std::optional<ListedInterface> found = Find(name);
  if (found && IsInterface0(found->identity)) {
    core::InterfaceIdentity interface1 = found->identity;
    ++interface1.interfaceType;
    found = Find(InterfaceName{std::nullopt, interface1});
  }
  if (!found)
    ReportMissing(name, "device");
  return found;
}

bool SendReport(const ListedInterface &interface, const uint8_t *report,
                int size, ReportPrinter &printer) {
  const hid::Status status =
      PinworthWriteToInterface(interface.handle, size, report);
  if (status != hid::kSuccess) {
    PrintError(
        QStringLiteral("could not write to %1: %2")
            .arg(interface.identity.displayName(), core::StatusText(status)));
    return false;
  }
  printer.printReport(true, report, size, interface.identity);
  return true;
}

} // namespace cli
