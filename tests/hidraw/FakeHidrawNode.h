// An emulated hidraw node: it answers a client's ioctls, reads and writes
// the way the kernel's hidraw driver does for a HID interface.
//
// umockdev runs the handlers on its own thread, so every member is guarded.
// Readiness follows the queue of interrupt reports: each queued report puts
// one byte into the node's terminal, and each report read takes one out.
#ifndef PINWORTH_TEST_FAKE_HIDRAW_NODE_H
#define PINWORTH_TEST_FAKE_HIDRAW_NODE_H

#include "PinworthDescriptors.h"

#include <umockdev.h>

#include <deque>
#include <mutex>
#include <string>

class FakeHidrawNode {
public:
  // devnode: "/dev/hidrawN", already in the testbed.
  FakeHidrawNode(UMockdevTestbed *testbed, const std::string &devnode,
                 Bytes reportDescriptor);
  ~FakeHidrawNode();
  FakeHidrawNode(const FakeHidrawNode &) = delete;
  FakeHidrawNode &operator=(const FakeHidrawNode &) = delete;

  const std::string &devnode() const { return devnode_; }

  // Every write that went out, oldest first.
  std::vector<Bytes> written() const;
  // Every HIDIOCGINPUT asked for, as its buffer on arrival (report number
  // first, buffer length = size).
  std::vector<Bytes> inputRequests() const;
  // What HIDIOCGINPUT answers: the report number, then the data.
  void setInputReport(Bytes report);

  // The device sends an interrupt report; it waits in the node's queue.
  void sendInterruptReport(Bytes report);
  int reportsQueued() const;
  // Whether a client's poll() finds the node readable now.
  bool readable() const;
  int readCalls() const;

  // While stalled, writes and HIDIOCGINPUT stay unanswered.
  void setStalled(bool stalled);
  int heldRequests() const;
  // Answers the held requests as if the device had answered late.
  void answerHeldRequests();

  // Writes and HIDIOCGINPUT fail with this errno (0: they succeed).
  void failRequestsWith(int error);
  // The device was pulled: reads fail with EIO, everything else with ENODEV,
  // and the node turns readable, as the kernel does.
  void disconnect();

  // How many times the node was opened, and how many of those are open.
  int openCalls() const;
  int openClients() const;

private:
  struct HeldRequest {
    UMockdevIoctlClient *client;
    UMockdevIoctlData *data; // resolved buffer of a HIDIOCGINPUT, or null
    Bytes written;           // the bytes of a write
  };

  gboolean handleIoctl(UMockdevIoctlClient *client);
  gboolean handleRead(UMockdevIoctlClient *client);
  gboolean handleWrite(UMockdevIoctlClient *client);
  void answerInput(UMockdevIoctlClient *client, UMockdevIoctlData *data);
  void ringDoorbell();

  std::string devnode_;
  Bytes descriptor_;
  UMockdevIoctlBase *handler_;
  int terminalMaster_; // owned by the testbed
  int terminalReader_; // our own end, to take doorbell bytes out

  mutable std::mutex mutex_;
  std::vector<Bytes> written_;
  std::vector<Bytes> inputRequests_;
  Bytes inputReport_;
  std::deque<Bytes> interruptReports_;
  std::vector<HeldRequest> held_;
  bool stalled_ = false;
  int failure_ = 0;
  bool disconnected_ = false;
  int readCalls_ = 0;
  std::vector<UMockdevIoctlClient *> clients_; // one per open, referenced
};

#endif
