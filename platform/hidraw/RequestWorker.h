// The helper thread of one hidraw handle, for requests that can block.
//
// A write() or HIDIOCGINPUT on hidraw waits for the device, and the kernel's
// own timeouts for that are seconds long. The handle hands such a request to
// its worker and waits no longer than the request's timeout:
// - the request owns a copy of its bytes and a reference to the descriptor,
//   so a request that outlives its caller touches no caller memory and the
//   descriptor stays open until the request is over;
// - the timeout counts from when the helper thread takes the request, so
//   that starting or waking the thread (milliseconds on a loaded machine)
//   never eats into the device's time;
// - one request at a time: while an abandoned request is still stuck in the
//   kernel (a device that stops taking output reports holds a write there
//   for about 5 s), the next one fails at once instead of piling up behind
//   it;
// - destroying the worker never waits for a stuck request: the thread then
//   finishes that request on its own and ends.
// A request can also be started without waiting (start()): such requests
// queue behind one another and run in the order started, and their outcome
// comes back on the main thread's event loop. One that the device does not
// answer in time is answered as timed out, and those queued behind it as
// busy.
#ifndef PINWORTH_HIDRAW_REQUEST_WORKER_H
#define PINWORTH_HIDRAW_REQUEST_WORKER_H

#include "platform/hidraw/FileDescriptor.h"

#include "platform/HIDServices.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace hid::hidraw {

// One blocking call on a hidraw descriptor.
struct Request {
  enum class Kind { Write, Ioctl };
  Kind kind = Kind::Write;
  std::shared_ptr<const FileDescriptor> fd;
  unsigned long ioctlRequest = 0; // for Kind::Ioctl
  std::vector<uint8_t> bytes{};   // written, or the ioctl's in/out buffer
};

struct RequestOutcome {
  bool timedOut = false;        // the device did not answer in time
  bool busy = false;            // an earlier request is still stuck: not run
  long result = -1;             // what write() or ioctl() returned
  int error = 0;                // errno when result < 0
  std::vector<uint8_t> bytes{}; // the buffer after the call
  ReportTime answeredAt{};      // when the call returned
};

class RequestWorker {
public:
  RequestWorker();
  ~RequestWorker();
  RequestWorker(const RequestWorker &) = delete;
  RequestWorker &operator=(const RequestWorker &) = delete;

  // Runs request on the helper thread and waits for it until timeout has
  // passed since the thread took it (or kStartBound passed without the
  // thread taking it). Requests started before it go first: it returns busy
  // when they are not over within timeout each, and at once while an
  // abandoned request is still stuck.
  RequestOutcome run(Request request, std::chrono::milliseconds timeout);

  using Done = std::function<void(RequestOutcome outcome)>;
  // Main thread only: runs request once those started before it are over,
  // and calls done with its outcome from a later turn of the main thread's
  // event loop, also while a modal dialog is up. The timeout counts from when
  // the helper thread takes the request. The worker must outlive the call of
  // done.
  void start(Request request, std::chrono::milliseconds timeout, Done done);

  static constexpr std::chrono::seconds kStartBound{1};

  struct Shared;

private:
  // Starts the helper thread unless it runs; false when it cannot.
  bool startThread();

  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

} // namespace hid::hidraw

#endif
