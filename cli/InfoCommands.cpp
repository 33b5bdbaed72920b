// list and info: what is attached, and what an interface says about itself.
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/Interfaces.h"
#include "cli/Output.h"

#include "core/interfaces/InterfaceInfo.h"
#include "core/text/JsonText.h"

#include "lib/PinworthLib.h"

#include <cstdio>

namespace cli {

namespace {

std::optional<std::string> NodePath(const hid::DeviceInterface &handle) {
  hid::PropertyTable properties;
  if (handle.copyProperties(properties) != hid::kSuccess)
    return std::nullopt;
  return properties.nodePath;
}

QString JsonLine(int position, const core::InterfaceIdentity &identity,
                 const std::optional<std::string> &node) {
  return QStringLiteral("{\"position\":%1,\"key\":%2,\"model\":\"%3\","
                        "\"serial\":%4,\"interface\":%5,\"node\":%6}")
      .arg(position)
      .arg(QString::fromUtf8(core::json::Quote(identity.key())),
           identity.modelName())
      .arg(identity.serialNumber)
      .arg(identity.interfaceNumber())
      .arg(node ? QString::fromUtf8(
                      core::json::Quote(QString::fromStdString(*node)))
                : QStringLiteral("null"));
}

} // namespace

int ListInterfaces(const Invocation &invocation) {
  const int count = PinworthCountInterfaces();
  for (int position = 0; position < count; ++position) {
    const core::InterfaceIdentity identity =
        *core::IdentityAtPosition(position);
    const std::optional<std::string> node = NodePath(
        *PinworthInterfaceListNodeAtIndex(position)->pinworthHIDInterface);
    if (invocation.json)
      PrintLine(JsonLine(position, identity, node));
    else
      PrintLine(
          QStringLiteral("%1  %2  %3  %4")
              .arg(position, 2)
              .arg(identity.key(), -9)
              .arg(identity.displayName(), -31)
              .arg(node ? QString::fromStdString(*node) : QStringLiteral("-")));
  }
  if (count == 0)
    PrintError(QStringLiteral("No Pinworth device attached"));
  return kExitSuccess;
}

int ShowInterfaceInfo(const ListedInterface &interface) {
  std::fputs(core::InterfaceInfoText(interface.identity.displayName(),
                                     core::ReadInterfaceInfo(*interface.handle))
                 .toUtf8()
                 .constData(),
             stdout);
  return kExitSuccess;
}

} // namespace cli
