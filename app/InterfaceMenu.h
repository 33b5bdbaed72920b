// The explorer's interface menu: one item per node of the library's list, in
// list order, so that item i stands for the node at position i; the
// placeholder that says why it is empty; the selection it was left with at
// the last start, until the first fill; and the permission bar, which names
// the listed devices this user may not open.
//
// Main thread only. The widgets belong to the window.
#ifndef PINWORTH_EXPLORER_INTERFACE_MENU_H
#define PINWORTH_EXPLORER_INTERFACE_MENU_H

#include "core/InterfaceIdentity.h"
#include "lib/PinworthLib.h"

#include <QString>

#include <optional>

class PermissionHelp;
class QComboBox;
class QWidget;

class InterfaceMenu {
public:
  // The permission bar goes at the top of contentView's layout.
  InterfaceMenu(QComboBox *popup, QWidget *contentView);

  // The interface the first fill selects when it is listed.
  void restoreSelection(const std::optional<InterfaceIdentity> &selected);

  // Refills the menu from the list, which the count rebuilds when a device
  // change left it dirty. The selection stays on the interface it was on
  // while that is listed; returns false when it was on one that is gone
  // (the menu then selects what the menu control does).
  bool refill();

  int selectedPosition() const;
  std::optional<InterfaceIdentity> selectedInterface() const;
  // The node at the selected position, or null; borrowed until the next
  // rebuild of the list.
  const PinworthListNode *selectedNode() const;

  // "PinworthA Interface 0" .. "PinworthB Interface 1", or "Unknown
  // interface type".
  static QString NameForInterfaceType(int interfaceType);
  // The placeholder of an empty menu, and the activity of no selection.
  static const QString kNoInterfaceText;

private:
  QComboBox *popup_;
  PermissionHelp *permissionHelp_;
  std::optional<InterfaceIdentity> restored_;
};

#endif
