// The interfaces a program listens to for interrupt reports, shared by all
// of its listeners (the explorer's windows, pinworth's listen).
//
// Each interface is armed once, through the library, however many listen to
// it: its handle gets the one handler, reportHandlerCallback(), and a
// reference taken here, so that no rebuild of the library's list destroys it
// under its handler, and a buffer of its own. Each report and each loss the
// handle tells is handed, typed, to every listener of the interface, in the
// order they started listening. The last listener to stop lets the handle go.
//
// Arming belongs to a handle, and a rebuild of the library's list hands out
// new ones. followList() keeps each armed handle whose device is still
// there (it holds a reference, and the reports on their way to it are not
// lost), arms the new handle of a device that came back, and lets go of the
// interfaces no longer listed.
//
// Main thread only. Listeners must stop listening before they are destroyed.
#ifndef PINWORTH_CORE_INTERFACE_LISTENERS_H
#define PINWORTH_CORE_INTERFACE_LISTENERS_H

#include "core/interfaces/InterfaceIdentity.h"

#include "platform/HIDServices.h"

#include <QList>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace core {

class InterfaceListeners {
public:
  // An interrupt report: the report ID byte followed by 7 data bytes.
  static constexpr uint32_t kReportBufferSize = 8;

  class Listener {
  public:
    // A report of source, size bytes (1 to kReportBufferSize), its report
    // ID byte first for an interface 1, read at readAt. The bytes last for
    // the call only.
    virtual void interruptReport(const InterfaceIdentity &source,
                                 const uint8_t *report, uint32_t size,
                                 hid::ReportTime readAt) = 0;
    // count reports of source were lost before the next one, the one read at
    // readAt.
    virtual void reportsLost(const InterfaceIdentity &source, uint64_t count,
                             hid::ReportTime readAt) = 0;
    // Arming source again through its new handle failed with status; the
    // listener listens to it no more.
    virtual void listeningFailed(const InterfaceIdentity &source,
                                 hid::Status status) = 0;
    // source is no longer listed (its device left); the listener listens
    // to it no more.
    virtual void interfaceGone(const InterfaceIdentity &source) = 0;

  protected:
    ~Listener() = default;
  };

  InterfaceListeners() = default;
  // Lets go of every armed handle.
  ~InterfaceListeners();
  InterfaceListeners(const InterfaceListeners &) = delete;
  InterfaceListeners &operator=(const InterfaceListeners &) = delete;

  // listener listens to the interface at list position position (after a
  // count), which is source. Its handle is armed unless it is armed already;
  // the status of the registration is returned, and a handle whose first
  // arming fails is not kept (nor is the listener). Listening again changes
  // nothing.
  hid::Status listen(int position, const InterfaceIdentity &source,
                     Listener *listener);
  // listener stops listening to source; a handle nobody listens to is let
  // go. Reports on their way to it are not handed to listener any more.
  void stopListening(const InterfaceIdentity &source, Listener *listener);
  void stopListening(Listener *listener);

  // After a rebuild of the library's list: each interface listened to that
  // is still listed keeps its handle while that still opens, or else is
  // armed through its new handle (listeners stay, and are told when that
  // fails); the others are let go, with their listeners.
  void followList();

  bool isListening(const InterfaceIdentity &source,
                   const Listener *listener) const;
  // The interfaces listener listens to, in the order it started.
  QList<InterfaceIdentity> interfacesOf(const Listener *listener) const;

  // What reportHandlerCallback() hands on, with this object as refcon.
  void deliver(void *target, hid::Status result, void *sender,
               uint32_t bufferSize);

private:
  struct Armed {
    hid::DeviceInterface *handle;
    InterfaceIdentity source;
    std::vector<Listener *> listeners;
    std::array<uint8_t, kReportBufferSize> buffer{};
  };

  Armed *find(const InterfaceIdentity &source) const;
  Armed *armedHandle(const void *sender) const;
  // Handler first, reference then: the handle may die with it.
  static void LetGo(Armed &armed);
  void erase(Armed *armed);

  std::vector<std::unique_ptr<Armed>> armed_;
};

// The handler of every armed handle: target is the handle's buffer, refcon
// its InterfaceListeners and sender the handle. A report (result kSuccess,
// bufferSize bytes) or a loss (kErrorOverrun, bufferSize reports) goes to
// the interface's listeners; a failed or empty report is dropped, and so is
// anything from a handle or buffer that is not armed here.
void reportHandlerCallback(void *target, hid::Status result, void *refcon,
                           void *sender, uint32_t bufferSize);

} // namespace core

#endif
