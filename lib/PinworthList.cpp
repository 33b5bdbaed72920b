// The interface list: one node per discovered interface, in discovery order,
// rebuilt lazily by the queries that check the dirty flag.
#include "lib/PinworthLibPrivate.h"

#include <climits>
#include <new>

PinworthListNode *gPinworthList = nullptr;
int16_t gPinworthListDirty = 0;

int PinworthCountInterfaces(void) {
  if (gPinworthListDirty)
    PinworthRebuildInterfaceList();
  int count = 0;
  for (PinworthListNode *node = gPinworthList; node; node = node->nextNode)
    count++;
  return count;
}

int PinworthIsPresent(void) {
  return PinworthCountInterfaces() > 0 ? 1 : 0;
}

PinworthListNode *PinworthInterfaceListNodeAtIndex(int inIndex) {
  PinworthListNode *node = gPinworthList;
  for (int position = 0; position < inIndex && node; position++)
    node = node->nextNode;
  return node;
}

hid::DeviceInterface *PinworthFirstInterfaceOfType(int inInterfaceType) {
  for (PinworthListNode *node = gPinworthList; node; node = node->nextNode)
    if (node->interfaceType == inInterfaceType)
      return node->pinworthHIDInterface;
  return nullptr;
}

PinworthListNode *PinworthGetInterfaceListNode(int inPinworthIndex,
                                               int inInterfaceIndex) {
  if (gPinworthListDirty)
    PinworthRebuildInterfaceList();
  // Computed wide so that no index overflows; a position before the head
  // yields the head, one past the end yields null.
  long long position = 2LL * inPinworthIndex + inInterfaceIndex;
  if (position > INT_MAX)
    return nullptr;
  return PinworthInterfaceListNodeAtIndex(
      position < 0 ? 0 : static_cast<int>(position));
}

hid::DeviceInterface *PinworthGetInterface(int inPinworthIndex,
                                           int inInterfaceIndex) {
  PinworthListNode *node =
      PinworthGetInterfaceListNode(inPinworthIndex, inInterfaceIndex);
  return node ? node->pinworthHIDInterface : nullptr;
}

void PinworthAddInterfaceToList(hid::DeviceInterface *inInterface,
                                int inInterfaceType, int inDeviceSerialNumber) {
  auto *node = new (std::nothrow) PinworthListNode{
      inInterface, nullptr, inDeviceSerialNumber, inInterfaceType};
  if (!node) {
    // The node owns the reference: without one, give it back.
    PrintErrMsg(
        "Out of memory: a Pinworth interface was left out of the list.");
    inInterface->Release();
    return;
  }
  if (!gPinworthList) {
    gPinworthList = node;
    return;
  }
  PinworthListNode *last = gPinworthList;
  while (last->nextNode)
    last = last->nextNode;
  last->nextNode = node;
}

void PinworthClearInterfaceList(void) {
  PinworthListNode *node = gPinworthList;
  while (node) {
    PinworthListNode *next = node->nextNode;
    node->pinworthHIDInterface->Release();
    delete node;
    node = next;
  }
  gPinworthList = nullptr;
}

void PinworthRebuildInterfaceList(void) {
  PinworthClearInterfaceList();
  PinworthDiscoverInterfaces();
  gPinworthListDirty = 0;
}
