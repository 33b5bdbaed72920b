// HID device services: the small platform layer under PinworthLib.
//
// It offers what the library needs from the host: a search over HID services,
// their property tables, reference-counted interface handles with synchronous
// report transfers and an interrupt-report handler, and notifications of
// devices arriving and leaving. A backend (simulated devices, or Linux hidraw)
// implements it; the program installs one with hid::SetBackend() before
// PinworthInit().
//
// Everything asynchronous is delivered on the event loop of the thread that
// registered it. Notifications come in "default mode": while a
// runloop::ModalScope is open (see DefaultMode.h) they wait. Interrupt
// reports and the answers of transfers made without waiting come in any
// mode, so that reading goes on under a modal dialog.
//
// This header is plain C++: no Qt types appear in it.
#ifndef PINWORTH_HID_SERVICES_H
#define PINWORTH_HID_SERVICES_H

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hid {

// Status codes. 0 is success; a failure has 0xE0 in its high byte and its
// code in the low 24 bits, so that it prints as e00002c5 / 709.
using Status = int32_t;
constexpr Status MakeStatus(uint32_t code) {
  return static_cast<Status>(0xE0000000u | (code & 0xFFFFFFu));
}
constexpr Status kSuccess = 0;
constexpr Status kErrorGeneral = MakeStatus(0x2BC);
constexpr Status kErrorNoMemory = MakeStatus(0x2BD);
constexpr Status kErrorNoDevice = MakeStatus(0x2C0);
constexpr Status kErrorBadArgument = MakeStatus(0x2C2);
constexpr Status kErrorExclusiveAccess = MakeStatus(0x2C5);
constexpr Status kErrorUnsupported = MakeStatus(0x2C7);
constexpr Status kErrorIO = MakeStatus(0x2CA);
constexpr Status kErrorNotOpen = MakeStatus(0x2CD);
constexpr Status kErrorTimeout = MakeStatus(0x2D6);
// A write the device did not answer in time: it may have taken the report.
constexpr Status kErrorNotAnswered = MakeStatus(0x2D9);
// An earlier request the device did not answer is still waiting for it:
// this one was not made.
constexpr Status kErrorBusy = MakeStatus(0x2D5);
constexpr Status kErrorNotPermitted = MakeStatus(0x2E2);
constexpr Status kErrorOverrun = MakeStatus(0x2E8);

// A text for any status, for diagnostics; never null. Unknown codes get a
// generic text.
const char *StatusString(Status status);

enum class ReportType { Input, Output, Feature };

// When a report was read: on the monotonic clock (CLOCK_MONOTONIC, which
// steady_clock is), taken on the thread that read it, right after the read.
using ReportTime = std::chrono::steady_clock::time_point;

// Called for each interrupt report with the report in the registered buffer.
using ReportCallback = void (*)(void *target, Status result, void *refcon,
                                void *sender, uint32_t bufferSize);

// What a HID interface says about itself; absent what it does not have.
struct PropertyTable {
  std::optional<int32_t> vendorID;
  std::optional<int32_t> productID;
  std::optional<std::string> serialNumber;
  std::optional<int32_t> interfaceNumber;  // the USB interface's number
  std::optional<std::string> manufacturer; // the device's own strings
  std::optional<std::string> product;
  std::optional<std::string> nodePath; // the device node, such as /dev/hidraw3
};

// An open-able handle on one HID interface. It is created unopened with one
// reference, owned by whoever created it; Release() drops a reference and the
// last one destroys the handle, which closes it and removes its interrupt
// handler (no report is delivered after that). Handles are used on the thread
// that created them.
class DeviceInterface {
public:
  DeviceInterface(const DeviceInterface &) = delete;
  DeviceInterface &operator=(const DeviceInterface &) = delete;

  void AddRef() { references_.fetch_add(1, std::memory_order_relaxed); }
  void Release() {
    releasing();
    if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1)
      delete this;
  }

  // Opening an open handle succeeds and changes nothing.
  virtual Status open(uint32_t options) = 0;
  virtual Status close() = 0;
  // Synchronous: returns when the device took the report, or with
  // kErrorNotAnswered after about timeoutMS.
  virtual Status setReport(ReportType type, uint32_t reportID,
                           const void *buffer, uint32_t size,
                           uint32_t timeoutMS) = 0;
  // Synchronous: fills buffer and sets *ioSize to the bytes delivered.
  virtual Status getReport(ReportType type, uint32_t reportID, void *buffer,
                           uint32_t *ioSize, uint32_t timeoutMS) = 0;
  // The outcome of a transfer made without waiting: its status, for
  // getReport the bytes delivered, and when the device answered, taken on
  // the thread that made the transfer as the call returned.
  using TransferDone = std::function<void(
      Status status, std::vector<uint8_t> bytes, ReportTime answeredAt)>;
  // setReport and getReport (size bytes asked for) without waiting for the
  // device, main thread only: the call returns at once, and done is called
  // from a later turn of the main thread's event loop, in default mode, once
  // the device answered or the timeout passed. Requests on one handle go to
  // the device one at a time, in the order made. The handle keeps a
  // reference of its own until done has returned.
  virtual void setReportLater(ReportType type, uint32_t reportID,
                              std::vector<uint8_t> bytes, uint32_t timeoutMS,
                              TransferDone done) = 0;
  virtual void getReportLater(ReportType type, uint32_t reportID, uint32_t size,
                              uint32_t timeoutMS, TransferDone done) = 0;
  // Every report the device sends from now on is copied into buffer (at most
  // bufferSize bytes) and handed to callback on the calling thread's event
  // loop. Installing again replaces the earlier handler: reports still on
  // their way go to the new one. A null callback removes the handler, and
  // from then on no report is delivered, also none already on its way.
  // Reports wait in a bounded queue (see InputReportQueue.h); when some were
  // lost to it, the handler is first called with result kErrorOverrun and
  // bufferSize the number lost, the buffer unchanged, then with the next
  // report. The caller keeps buffer alive for as long as the handler is
  // installed: until it is replaced or removed, or the handle is destroyed.
  virtual Status setInterruptReportHandlerCallback(void *buffer,
                                                   uint32_t bufferSize,
                                                   ReportCallback callback,
                                                   void *target,
                                                   void *refcon) = 0;

  // Interrupt reports lost because they came faster than they were taken,
  // since the handle was made.
  virtual uint64_t lostInterruptReports() const { return 0; }
  // When the interrupt report the handler is being called with was read
  // (for a loss, the report after it); valid during that call.
  virtual ReportTime interruptReportTime() const { return {}; }

  // kErrorNotPermitted when open() would be refused for want of permission,
  // found without opening; kSuccess otherwise.
  virtual Status checkAccess() const { return kSuccess; }

  // The same as its service's, open or not.
  virtual Status copyProperties(PropertyTable &outTable) const = 0;
  virtual Status copyReportDescriptor(std::vector<uint8_t> &outBytes) const = 0;

protected:
  DeviceInterface() = default;
  virtual ~DeviceInterface() = default;
  // Called by Release() before the reference is dropped; a backend may
  // count it.
  virtual void releasing() {}

private:
  std::atomic<int> references_{1};
};

// Something an iterator yields: a HID service of a search, or a device of a
// notification.
class Object {
public:
  virtual ~Object() = default;
};

// The property table of a HID service; each entry may be absent.
class PlugInInterface {
public:
  virtual ~PlugInInterface() = default;
  // On success *outInterface is a new unopened handle with one reference.
  virtual Status queryInterface(DeviceInterface **outInterface) = 0;
};

class Service : public Object {
public:
  virtual Status copyProperties(PropertyTable &outTable) const = 0;
  // The interface's HID report descriptor, as the device sends it.
  virtual Status copyReportDescriptor(std::vector<uint8_t> &outBytes) const = 0;
  virtual Status getClassName(std::string &outName) const = 0;
  virtual Status
  createPlugInInterface(std::unique_ptr<PlugInInterface> &outPlugIn) = 0;
};

// Yields objects in order, then null.
class ObjectIterator {
public:
  virtual ~ObjectIterator() = default;
  virtual std::shared_ptr<Object> next() = 0;
};

// What a search or a notification matches: a class name ("IOHIDDevice",
// "IOUSBDevice") and numeric properties ("VendorID", "PrimaryUsage",
// "idVendor", "idProduct", ...).
struct MatchingDictionary {
  std::string className;
  std::map<std::string, int32_t> numbers;
};

enum class NotificationType { FirstMatch, Terminate };

using NotificationHandler = void (*)(void *refCon, ObjectIterator *iterator);

// Delivers device notifications on the event loop of the thread that created
// it. It keeps its registrations and iterators until it is destroyed.
class NotificationPort {
public:
  virtual ~NotificationPort() = default;
  // Registers handler for USB devices that match; *outIterator (owned by the
  // port) yields the devices of each notification. It yields the devices
  // already attached until it is first drained, which arms it.
  virtual Status addMatchingNotification(NotificationType type,
                                         const MatchingDictionary &matching,
                                         NotificationHandler handler,
                                         void *refCon,
                                         ObjectIterator **outIterator) = 0;
};

using MasterPort = uint32_t;

class Backend {
public:
  virtual ~Backend() = default;
  // A non-zero port on success.
  virtual Status getMasterPort(MasterPort *outPort) = 0;
  virtual void deallocateMasterPort(MasterPort port) = 0;
  // A matching dictionary for the class, or null.
  virtual std::unique_ptr<MatchingDictionary>
  serviceMatching(const char *className) = 0;
  // The HID services that match, in the order the library types them: each
  // device's interface 0 directly before its interface 1.
  virtual Status
  getMatchingServices(MasterPort port, const MatchingDictionary &matching,
                      std::unique_ptr<ObjectIterator> &outIterator) = 0;
  // A port bound to the calling thread's event loop, or null.
  virtual std::unique_ptr<NotificationPort>
  createNotificationPort(MasterPort port) = 0;
};

// Installs the process's backend (not owned; it must outlive every handle
// and port it made). Set once, before PinworthInit().
void SetBackend(Backend *backend);
// The installed backend, or null.
Backend *CurrentBackend();

} // namespace hid

#endif
