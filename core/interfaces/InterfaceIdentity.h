// One interface of one device as a user knows it: the model, the device's
// serial number and the interface number. It names an interface across the
// rebuilds of the library's list (whose nodes and handles do not last), and
// across restarts.
#ifndef PINWORTH_EXPLORER_INTERFACE_IDENTITY_H
#define PINWORTH_EXPLORER_INTERFACE_IDENTITY_H

#include <QHashFunctions>
#include <QString>

#include <optional>

namespace core {

struct InterfaceIdentity {
  int interfaceType = -1; // kPinworthAInterface0 .. kPinworthBInterface1
  int serialNumber = 0;
  // Among the listed interfaces of the same type and serial number (two
  // devices that report one serial), the how-manieth.
  int occurrence = 0;

  friend bool operator==(const InterfaceIdentity &,
                         const InterfaceIdentity &) = default;

  // "PinworthA", "PinworthB", or "Unknown" for a type outside 0..3.
  QString modelName() const;
  int interfaceNumber() const { return interfaceType % 2; }
  // "PinworthA (SN 1000) Interface 1".
  QString displayName() const;
  // "A:1000:1", with "#2" behind for a second occurrence (up to #99999);
  // fromKey() reads it.
  QString key() const;
  static std::optional<InterfaceIdentity> fromKey(const QString &key);
};

inline size_t qHash(const InterfaceIdentity &identity, size_t seed = 0) {
  return qHashMulti(seed, identity.interfaceType, identity.serialNumber,
                    identity.occurrence);
}

// The identity of the interface at list position i (after a count), or none
// when there is no node there.
std::optional<InterfaceIdentity> IdentityAtPosition(int position);

// The list position of the interface, or -1 when it is not listed.
int PositionOfIdentity(const InterfaceIdentity &identity);

} // namespace core

#endif
