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

// One object: the interface's key, its properties by name and its report
// descriptor's bytes in hex (null, with descriptorError, when unread).
QString InfoJson(const core::InterfaceIdentity &identity,
                 const core::InterfaceInfo &info) {
  QStringList properties;
  for (const auto &[name, value] : core::PropertyLines(info))
    properties << QString::fromUtf8(core::json::Quote(name) + ':' +
                                    core::json::Quote(value));
  const bool read = info.descriptorStatus == hid::kSuccess;
  return QStringLiteral("{\"key\":%1,\"properties\":{%2},\"descriptor\":%3%4}")
      .arg(QString::fromUtf8(core::json::Quote(identity.key())),
           properties.join(','),
           read ? QString::fromUtf8(core::json::Quote(QString::fromLatin1(
                      QByteArray(reinterpret_cast<const char *>(
                                     info.descriptor.data()),
                                 qsizetype(info.descriptor.size()))
                          .toHex())))
                : QStringLiteral("null"),
           read ? QString()
                : QStringLiteral(",\"descriptorError\":") +
                      QString::fromUtf8(core::json::Quote(
                          core::StatusText(info.descriptorStatus))));
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

int ShowInterfaceInfo(const Invocation &invocation,
                      const ListedInterface &interface) {
  const core::InterfaceInfo info = core::ReadInterfaceInfo(*interface.handle);
  if (invocation.json)
    PrintLine(InfoJson(interface.identity, info));
  else
    std::fputs(core::InterfaceInfoText(interface.identity.displayName(), info)
                   .toUtf8()
                   .constData(),
               stdout);
  return kExitSuccess;
}

} // namespace cli
