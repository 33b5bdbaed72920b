// The explorer's interface menu: one item per node of the library's list, in
// list order, so that item i stands for the node at position i; the
// placeholder that says why it is empty; the selection it was left with at
// the last start, until the first fill; and the permission bar, which names
// the listed devices this user may not open.
//
// The target is the interface the user chose. It never moves by itself:
// when its device goes, no item is selected and the placeholder names the
// target as unplugged, whatever else is listed; when the same device comes
// back, it is selected again. Other devices coming and going change
// nothing.
//
// Main thread only. The widgets belong to the window.
#ifndef PINWORTH_EXPLORER_INTERFACE_MENU_H
#define PINWORTH_EXPLORER_INTERFACE_MENU_H

#include "app/InterfaceInfoWindow.h"
#include "core/interfaces/InterfaceIdentity.h"
#include "core/interfaces/InterfaceInfo.h"
#include "lib/PinworthLib.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>

class QComboBox;
class QWidget;

namespace explorer {

class PermissionHelp;

class InterfaceMenu {
public:
  // The permission bar goes at the top of contentView's layout.
  InterfaceMenu(QComboBox *popup, QWidget *contentView);

  // The interface the first fill selects when it is listed.
  void restoreSelection(const std::optional<core::InterfaceIdentity> &selected);

  // What a refill found changed.
  struct Change {
    bool targetLeft = false; // the target was listed before, and is not
    bool targetBack = false; // the target was missing, and is listed again
    // Devices, each by the identity of its interface 0, that left or came.
    QList<core::InterfaceIdentity> left, came;
  };
  // Refills the menu from the list, which the count rebuilds when a device
  // change left it dirty, and selects the target when it is listed.
  Change refill();
  // The user chose an item: it becomes the target.
  void targetSelection();
  // The target while its device is not listed.
  std::optional<core::InterfaceIdentity> missingTarget() const;
  // Whether Write and Read must send nothing: the target is missing while
  // other interfaces are listed (with none at all, Write says no device is
  // attached, as ever).
  bool targetBlocked() const { return targetMissing_ && !listed_.isEmpty(); }

  int selectedPosition() const;
  std::optional<core::InterfaceIdentity> selectedInterface() const;
  // The node at the selected position, or null; borrowed until the next
  // rebuild of the list.
  const PinworthListNode *selectedNode() const;

  // What the selected interface says about itself, as last read (none when
  // none is selected); readSelectedInfo() reads it again, and refills the
  // Interface Info window when it is shown.
  const std::optional<core::InterfaceInfo> &selectedInfo() const {
    return info_;
  }
  void readSelectedInfo();
  // Shows the Interface Info window, over window, made when first shown.
  void showInfoWindow(QWidget *window);

  // "PinworthA Interface 0" .. "PinworthB Interface 1", or "Unknown
  // interface type".
  static QString NameForInterfaceType(int interfaceType);
  // The placeholder of an empty menu, and the activity of no selection.
  static const QString kNoInterfaceText;
  // "PinworthA (SN 1000) Interface 1 was unplugged".
  static QString UnpluggedText(const core::InterfaceIdentity &target);

private:
  QComboBox *popup_;
  PermissionHelp *permissionHelp_;
  std::optional<core::InterfaceIdentity> restored_;
  std::optional<core::InterfaceIdentity> target_;
  bool targetMissing_ = false;
  QList<core::InterfaceIdentity> listed_; // as the last refill found them
  std::optional<core::InterfaceInfo> info_;
  std::unique_ptr<InterfaceInfoWindow> infoWindow_;
};

} // namespace explorer

#endif
