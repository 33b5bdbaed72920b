// PinworthLib: access to the HID interfaces of attached Pinworth devices.
//
// Plain functions over process-wide state, used on one thread: the thread that
// called PinworthInit(), whose event loop delivers device notifications and
// interrupt reports. The library keeps a list of the interfaces of every
// attached device (two per device: interface 0, then interface 1), rebuilds it
// lazily after a device change, and moves reports to and from an interface.
//
// Node pointers and interface handles that a query returns are borrowed: they
// stay valid until the next rebuild of the list. The calls that can rebuild are
// PinworthCountInterfaces, PinworthIsPresent, PinworthGetInterfaceListNode,
// PinworthGetInterface, PinworthWrite and PinworthRead.
//
// Failures are returned as status codes (0 for success, -1 when a lookup
// found no interface, otherwise an hid::Status) and reported on standard error.
#ifndef PINWORTH_LIB_H
#define PINWORTH_LIB_H

#include "platform/HIDServices.h"
#include "platform/PinworthUSBIDs.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

enum {
  kPinworthVendorID = pinworth::kUSBVendorID,
  kPinworthAProductID = pinworth::kUSBProductIDA,
  kPinworthBProductID = pinworth::kUSBProductIDB,
};

enum {
  kPinworthAInterface0 = 0,
  kPinworthAInterface1 = 1,
  kPinworthBInterface0 = 2,
  kPinworthBInterface1 = 3,
};

// One discovered HID interface. The node owns one reference to its interface.
typedef struct PinworthListNodeStruct {
  hid::DeviceInterface *pinworthHIDInterface;
  struct PinworthListNodeStruct *nextNode;
  int32_t serialNumber;  // -32768..32767
  int32_t interfaceType; // kPinworthAInterface0 .. kPinworthBInterface1
} PinworthListNode;

typedef void (*PinworthDeviceCallbackFunctionPtr)(void *inRefCon);

extern PinworthDeviceCallbackFunctionPtr gPinworthCallBackPtr;
extern void *gPinworthCallBackRefCon;

// Interface list.
int PinworthCountInterfaces(void);
int PinworthIsPresent(void);
PinworthListNode *PinworthInterfaceListNodeAtIndex(int inIndex);
hid::DeviceInterface *PinworthFirstInterfaceOfType(int inInterfaceType);
PinworthListNode *PinworthGetInterfaceListNode(int inPinworthIndex,
                                               int inInterfaceIndex);
hid::DeviceInterface *PinworthGetInterface(int inPinworthIndex,
                                           int inInterfaceIndex);
void PinworthAddInterfaceToList(hid::DeviceInterface *inInterface,
                                int inInterfaceType, int inDeviceSerialNumber);
void PinworthClearInterfaceList(void);
void PinworthRebuildInterfaceList(void);

// Discovery and hot-plug notification.
int PinworthInit(void);
void PinworthSetDeviceCallback(PinworthDeviceCallbackFunctionPtr inCallbackPtr,
                               void *inRefCon);
hid::NotificationPort *GetNotificationPort(void);
void PinworthAdded(void *refCon, hid::ObjectIterator *iterator);
void PinworthRemoved(void *refCon, hid::ObjectIterator *iterator);
void PinworthDiscoverInterfaces(void);
// The matching services, or null on failure.
std::unique_ptr<hid::ObjectIterator>
PinworthFindHIDDevices(hid::MasterPort masterPort, uint32_t usagePage,
                       uint32_t usage);
// The search's matching dictionary, or null on failure.
std::unique_ptr<hid::MatchingDictionary>
PinworthSetUpHIDMatchingDictionary(uint32_t usagePage, uint32_t usage);
// An unopened handle with one reference owned by the caller, or null.
hid::DeviceInterface *PinworthCreateHIDDeviceInterface(hid::Service *hidDevice);

// Diagnostics on standard error.
void PrintErrMsg(const char *msg);
void PrintErrMsgIfIOErr(long expr, const char *msg);
void PrintNotificationMessage(const char *msg);

// Report transfer. Buffers belong to the caller.
int32_t PinworthWriteToInterface(hid::DeviceInterface *inInterface, int inSize,
                                 const void *inData);
// Clears outData first: bytes the device does not deliver read as zero.
int32_t PinworthReadFromInterface(hid::DeviceInterface *inInterface,
                                  int inReportID, int inSize, void *outData);
// The same two without waiting for the device, from the main thread: done
// gets the status (and, for a read, the inSize bytes, zero where the device
// delivered none) and when the device answered, from a later turn of its
// event loop, also while a modal dialog is up. The interface is left open or
// closed as by the calls above.
using PinworthTransferDone = std::function<void(
    int32_t status, std::vector<uint8_t> data, hid::ReportTime answeredAt)>;
void PinworthWriteToInterfaceLater(hid::DeviceInterface *inInterface,
                                   std::vector<uint8_t> inData,
                                   PinworthTransferDone done);
void PinworthReadFromInterfaceLater(hid::DeviceInterface *inInterface,
                                    int inReportID, int inSize,
                                    PinworthTransferDone done);
// inBuffer must stay valid while the handler is installed, which is for the
// rest of the handle's life.
int32_t PinworthSetInterruptCallback(hid::DeviceInterface *inInterface,
                                     void *inBuffer, uint32_t inBufferSize,
                                     hid::ReportCallback inCallbackPtr,
                                     void *inRefCon);
int32_t PinworthWrite(int inPinworthIndex, int inInterfaceIndex, int inSize,
                      const void *inData);
int32_t PinworthRead(int inPinworthIndex, int inInterfaceIndex, int inReportID,
                     int inSize, void *outData);
int32_t PinworthAWriteInterface0(const void *inData);
int32_t PinworthAReadInterface0(void *outData);
int32_t PinworthAWriteInterface1(int inReportID, const void *inData);
int32_t PinworthAReadInterface(int inReportID, void *outData);
// Reverses the first inCount bytes; a count below 1 changes nothing.
void byteSwap(void *ioData, int inCount);

#endif
