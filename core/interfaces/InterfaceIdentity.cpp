#include "core/interfaces/InterfaceIdentity.h"

#include "lib/PinworthLib.h"

#include <QRegularExpression>

namespace core {

QString InterfaceIdentity::modelName() const {
  switch (interfaceType) {
  case kPinworthAInterface0:
  case kPinworthAInterface1:
    return QStringLiteral("PinworthA");
  case kPinworthBInterface0:
  case kPinworthBInterface1:
    return QStringLiteral("PinworthB");
  default:
    return QStringLiteral("Unknown");
  }
}

QString InterfaceIdentity::displayName() const {
  return QStringLiteral("%1 (SN %2) Interface %3")
      .arg(modelName())
      .arg(serialNumber)
      .arg(interfaceNumber());
}

QString InterfaceIdentity::key() const {
  QString text = QStringLiteral("%1:%2:%3")
                     .arg(modelName().right(1))
                     .arg(serialNumber)
                     .arg(interfaceNumber());
  return occurrence ? text + '#' + QString::number(occurrence + 1) : text;
}

std::optional<InterfaceIdentity>
InterfaceIdentity::fromKey(const QString &key) {
  static const QRegularExpression kKey(
      R"(^([AB]):(-?\d{1,5}):([01])(?:#([2-9]|[1-9]\d{1,4}))?\z)");
  const QRegularExpressionMatch match = kKey.match(key);
  bool ok = false;
  const int serial = match.captured(2).toInt(&ok);
  if (!match.hasMatch() || !ok || serial < INT16_MIN || serial > INT16_MAX)
    return std::nullopt;
  return InterfaceIdentity{
      (match.captured(1) == "B" ? kPinworthBInterface0 : kPinworthAInterface0) +
          match.captured(3).toInt(),
      serial, match.hasCaptured(4) ? match.captured(4).toInt() - 1 : 0};
}

std::optional<InterfaceIdentity> IdentityAtPosition(int position) {
  const PinworthListNode *target = PinworthInterfaceListNodeAtIndex(position);
  if (position < 0 || !target)
    return std::nullopt;
  InterfaceIdentity identity{target->interfaceType, target->serialNumber, 0};
  for (int i = 0; i < position; ++i) {
    const PinworthListNode *node = PinworthInterfaceListNodeAtIndex(i);
    if (node->interfaceType == identity.interfaceType &&
        node->serialNumber == identity.serialNumber)
      ++identity.occurrence;
  }
  return identity;
}

int PositionOfIdentity(const InterfaceIdentity &identity) {
  int occurrence = 0;
  for (int i = 0;
       const PinworthListNode *node = PinworthInterfaceListNodeAtIndex(i);
       ++i) {
    if (node->interfaceType == identity.interfaceType &&
        node->serialNumber == identity.serialNumber &&
        occurrence++ == identity.occurrence)
      return i;
  }
  return -1;
}

} // namespace core
