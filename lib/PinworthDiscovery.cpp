// Discovery of the Pinworth interfaces and notification of device changes.
#include "lib/PinworthLibPrivate.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

PinworthDeviceCallbackFunctionPtr gPinworthCallBackPtr = nullptr;
void *gPinworthCallBackRefCon = nullptr;

namespace {

std::unique_ptr<hid::NotificationPort> gNotifyPort;
hid::ObjectIterator *gPinworthAddedIter = nullptr;
hid::ObjectIterator *gPinworthRemovedIter = nullptr;

// The signed decimal number at the start of text, after any white space; 0
// when there is none, the nearest limit when it does not fit in 32 bits.
int32_t StringIntValue(const std::string &text) {
  return static_cast<int32_t>(std::clamp<long long>(
      std::strtoll(text.c_str(), nullptr, 10), INT32_MIN, INT32_MAX));
}

// Takes the devices out of the iterator, which re-arms it, marks the list
// dirty and tells the registered callback once.
void HandleDeviceChange(hid::ObjectIterator *iterator, const char *message) {
  if (iterator)
    while (iterator->next())
      PrintNotificationMessage(message);
  gPinworthListDirty = 1;
  if (gPinworthCallBackPtr)
    gPinworthCallBackPtr(gPinworthCallBackRefCon);
}

} // namespace

// Arms arrival and removal notifications for both models on the calling
// thread's event loop. A repeated call replaces the earlier port and its
// registrations and releases the earlier list.
int PinworthInit(void) {
  PinworthClearInterfaceList();
  gPinworthListDirty = 1;
  gPinworthCallBackPtr = nullptr;

  hid::Backend *backend = hid::CurrentBackend();
  hid::MasterPort masterPort = 0;
  if (!backend || backend->getMasterPort(&masterPort) != hid::kSuccess ||
      masterPort == 0)
    return -1;

  gNotifyPort = backend->createNotificationPort(masterPort);

  for (int32_t productID : {kPinworthAProductID, kPinworthBProductID}) {
    std::unique_ptr<hid::MatchingDictionary> matching =
        backend->serviceMatching("IOUSBDevice");
    if (!matching) {
      backend->deallocateMasterPort(masterPort);
      return -1;
    }
    matching->numbers["idVendor"] = kPinworthVendorID;
    matching->numbers["idProduct"] = productID;
    if (gNotifyPort) {
      gNotifyPort->addMatchingNotification(hid::NotificationType::FirstMatch,
                                           *matching, PinworthAdded, nullptr,
                                           &gPinworthAddedIter);
      PinworthAdded(nullptr, gPinworthAddedIter);
      gNotifyPort->addMatchingNotification(hid::NotificationType::Terminate,
                                           *matching, PinworthRemoved, nullptr,
                                           &gPinworthRemovedIter);
      PinworthRemoved(nullptr, gPinworthRemovedIter);
    }
  }

  backend->deallocateMasterPort(masterPort);
  return 0;
}

void PinworthSetDeviceCallback(PinworthDeviceCallbackFunctionPtr inCallbackPtr,
                               void *inRefCon) {
  gPinworthCallBackPtr = inCallbackPtr;
  gPinworthCallBackRefCon = inRefCon;
}

hid::NotificationPort *GetNotificationPort(void) {
  return gNotifyPort.get();
}

void PinworthAdded(void *, hid::ObjectIterator *iterator) {
  HandleDeviceChange(iterator, "Discovered Pinworth device\n");
}

void PinworthRemoved(void *, hid::ObjectIterator *iterator) {
  HandleDeviceChange(iterator, "Pinworth device removed\n");
}

// Appends a node for every Pinworth interface of the search. The position
// counts every service whose property table could be read, so each device's
// interface 0 gets an even position and its interface 1 the odd one after it.
void PinworthDiscoverInterfaces(void) {
  hid::Backend *backend = hid::CurrentBackend();
  hid::MasterPort masterPort = 0;
  hid::Status status =
      backend ? backend->getMasterPort(&masterPort) : hid::kErrorGeneral;
  if (status != hid::kSuccess || masterPort == 0) {
    PrintErrMsgIfIOErr(status, "Couldn’t create a master I/O Kit Port.");
    return;
  }

  std::unique_ptr<hid::ObjectIterator> iterator =
      PinworthFindHIDDevices(masterPort, 1, 5);
  if (iterator) {
    int position = 0;
    while (std::shared_ptr<hid::Object> object = iterator->next()) {
      auto *service = dynamic_cast<hid::Service *>(object.get());
      hid::PropertyTable table;
      if (!service || service->copyProperties(table) != hid::kSuccess)
        continue;
      if (table.vendorID && table.productID) {
        auto vendorID = static_cast<int16_t>(*table.vendorID);
        auto productID = static_cast<int16_t>(*table.productID);
        auto serialNumber = static_cast<int16_t>(
            table.serialNumber ? StringIntValue(*table.serialNumber) : 0);
        if (vendorID == kPinworthVendorID &&
            (productID == kPinworthAProductID ||
             productID == kPinworthBProductID)) {
          PrintNotificationMessage("found Pinworth HID device\n");
          hid::DeviceInterface *interface =
              PinworthCreateHIDDeviceInterface(service);
          if (interface) {
            int interfaceType =
                position % 2 + (productID == kPinworthBProductID ? 2 : 0);
            PinworthAddInterfaceToList(interface, interfaceType, serialNumber);
          }
        } else {
          PrintNotificationMessage("HID device found, not Pinworth\n");
        }
      }
      position++;
    }
  }
  backend->deallocateMasterPort(masterPort);
}

std::unique_ptr<hid::ObjectIterator>
PinworthFindHIDDevices(hid::MasterPort masterPort, uint32_t usagePage,
                       uint32_t usage) {
  std::unique_ptr<hid::MatchingDictionary> matching =
      PinworthSetUpHIDMatchingDictionary(usagePage, usage);
  if (!matching) {
    PrintErrMsg("Couldn’t create a matching dictionary.");
    return nullptr;
  }
  std::unique_ptr<hid::ObjectIterator> iterator;
  hid::Status status = hid::CurrentBackend()->getMatchingServices(
      masterPort, *matching, iterator);
  if (status != hid::kSuccess || !iterator) {
    PrintErrMsg("Couldn’t create a HID object iterator.");
    return nullptr;
  }
  return iterator;
}

// The usage page goes under "PrimaryUsage" and the usage under
// "PrimaryUsagePage"; the backends match on "VendorID" alone.
std::unique_ptr<hid::MatchingDictionary>
PinworthSetUpHIDMatchingDictionary(uint32_t usagePage, uint32_t usage) {
  std::unique_ptr<hid::MatchingDictionary> matching =
      hid::CurrentBackend()->serviceMatching("IOHIDDevice");
  if (!matching) {
    PrintErrMsg(
        "Failed to get HID CFMutableDictionaryRef via IOServiceMatching.");
    return nullptr;
  }
  matching->numbers["PrimaryUsagePage"] = static_cast<int32_t>(usage);
  matching->numbers["PrimaryUsage"] = static_cast<int32_t>(usagePage);
  matching->numbers["VendorID"] = kPinworthVendorID;
  return matching;
}

hid::DeviceInterface *
PinworthCreateHIDDeviceInterface(hid::Service *hidDevice) {
  std::string className;
  PrintErrMsgIfIOErr(hidDevice->getClassName(className),
                     "Failed to get class name.");
  PrintNotificationMessage("Creating interface for device\n");

  std::unique_ptr<hid::PlugInInterface> plugIn;
  if (hidDevice->createPlugInInterface(plugIn) != hid::kSuccess || !plugIn) {
    PrintErrMsg("Failed to create **plugInInterface via "
                "IOCreatePlugInInterfaceForService.");
    return nullptr;
  }
  hid::DeviceInterface *interface = nullptr;
  if (plugIn->queryInterface(&interface) != hid::kSuccess) {
    PrintErrMsg(
        "Couldn’t query HID class device interface from plugInInterface");
    interface = nullptr;
  }
  return interface;
}
