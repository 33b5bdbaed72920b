// An emulated hidraw node: it answers its clients' ioctls, reads and writes
// the way the kernel's hidraw driver does for a USB HID interface.
//
// Each client (each open file) has its own queue of interrupt reports, as in
// the kernel: a report joins the queue of every client open when it is sent,
// a client opened later never sees it, and a client's unread reports go when
// it closes.
//
// Readiness: umockdev puts one terminal behind the node for all its clients,
// so poll() cannot tell them apart. The terminal holds one byte per report of
// the longest queue (and one more once the device is gone), counting, once
// any client has read, only the clients that have read: the library's file
// for requests, never read, must not keep the node readable for its reader.
// With one reading client this is exact. With several, a client with an empty
// queue also polls readable while another has reports, and its read fails
// with EAGAIN. A read of an empty queue fails with EAGAIN even on a blocking
// descriptor, where the kernel would wait: umockdev does not say how the file
// was opened.
//
// umockdev takes in a new client on its own thread: a report sent right after
// open() may miss it. Wait for openClients() (or an answered ioctl) first.
//
// umockdev runs the handlers on its own thread, so every member is guarded.
#ifndef PINWORTH_TEST_FAKE_HIDRAW_NODE_H
#define PINWORTH_TEST_FAKE_HIDRAW_NODE_H

// glib names a member "signals", which Qt defines as a keyword: umockdev's
// headers are read without it, whatever was included before.
#pragma push_macro("signals")
#undef signals
#include <umockdev.h>
#pragma pop_macro("signals")

#include <cstdint>

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

class FakeHidrawNode {
public:
  // devnode: "/dev/hidrawN", already in the testbed.
  FakeHidrawNode(UMockdevTestbed *testbed, const std::string &devnode,
                 Bytes reportDescriptor);
  ~FakeHidrawNode();
  FakeHidrawNode(const FakeHidrawNode &) = delete;
  FakeHidrawNode &operator=(const FakeHidrawNode &) = delete;

  const std::string &devnode() const { return devnode_; }

  // Every write that reached the device, oldest first.
  std::vector<Bytes> written() const;
  // Every HIDIOCGINPUT that reached the device, as its buffer on arrival
  // (report number first, buffer length = size).
  std::vector<Bytes> inputRequests() const;
  // The device's answer to a request for input report number; it begins with
  // the report ID on an interface that has them. A number without an answer
  // fails with EPIPE, as when the device stalls the request.
  void setInputReport(uint8_t number, Bytes report);

  // The device sends an interrupt report: it joins the queue of every client
  // open now, unless that queue is full. A device that is gone sends none;
  // a report the descriptor does not declare as input, or too short, the
  // kernel drops.
  void sendInterruptReport(Bytes report);
  // Whether every client counting for readiness has taken all its reports
  // and, if it ever read, found its queue empty since: a reader that reads
  // until EAGAIN has then handed on the last report it took.
  bool readersCaughtUp();
  // Reports that a client counting for readiness could not take, its queue
  // full.
  int droppedReports() const;
  int readCalls() const;

  // While stalled, writes and HIDIOCGINPUT stay unanswered.
  void setStalled(bool stalled);
  int heldRequests() const;
  // Answers the held requests as if the device had answered late.
  void answerHeldRequests();

  // Writes and HIDIOCGINPUT that reach the device fail with this errno (0:
  // they succeed).
  void failRequestsWith(int error);
  // The device was pulled: reads fail with EIO once the client's queue is
  // empty, everything else with ENODEV, and the node stays readable, as the
  // kernel does.
  void disconnect();

  // How many times the node was opened, and how many of those are open.
  int openCalls() const;
  int openClients();

private:
  struct HeldRequest {
    UMockdevIoctlClient *client;
    UMockdevIoctlData *data; // resolved buffer of a HIDIOCGINPUT, or null
    Bytes written;           // the bytes of a write
  };

  struct Client {
    std::deque<Bytes> queue;
    bool hasRead = false;
    bool lastReadFoundEmpty = false;
  };

  void handleOpen(UMockdevIoctlClient *client);
  void forgetClosedClients();
  gboolean handleIoctl(UMockdevIoctlClient *client);
  gboolean handleRead(UMockdevIoctlClient *client);
  gboolean handleWrite(UMockdevIoctlClient *client);
  void answerInput(UMockdevIoctlClient *client, UMockdevIoctlData *data);
  bool countsForReadiness(const Client &client) const;
  bool kernelTakes(const Bytes &report) const;
  void settleDoorbells();

  std::string devnode_;
  Bytes descriptor_;
  UMockdevIoctlBase *handler_;
  int terminalMaster_; // owned by the testbed
  int terminalReader_; // our own end, to take doorbell bytes out

  mutable std::mutex mutex_;
  std::vector<Bytes> written_;
  std::vector<Bytes> inputRequests_;
  std::map<uint8_t, Bytes> inputReports_;
  std::map<UMockdevIoctlClient *, Client> clients_; // the open ones
  int doorbells_ = 0;                               // bytes in the terminal
  std::vector<HeldRequest> held_;
  bool stalled_ = false;
  int failure_ = 0;
  bool disconnected_ = false;
  int readCalls_ = 0;
  int dropped_ = 0;
  std::vector<UMockdevIoctlClient *> opened_; // one per open, referenced
};

#endif
