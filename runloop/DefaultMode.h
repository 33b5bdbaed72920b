// Default-mode delivery on the main thread's Qt event loop.
//
// Device notifications, and the alerts that a device's answer brings, must
// wait while a modal alert or panel is up, and then arrive in order with
// nothing lost. Qt's nested modal loops keep serving every source, so the
// application holds a ModalScope around each modal exec(), and every
// default-mode source goes through RunInDefaultMode() or a DefaultModeQueue.
// Reading does not: poll ticks, the answers of transfers and interrupt
// reports go on under any dialog, so that nothing a device sends is lost
// while the user reads a message or picks a file.
//
// All of it is used on the main thread only.
#ifndef PINWORTH_RUNLOOP_DEFAULT_MODE_H
#define PINWORTH_RUNLOOP_DEFAULT_MODE_H

#include <QObject>

#include <functional>

namespace runloop {

// While any ModalScope exists, default-mode work waits. When the last one
// closes, the waiting work runs in order from the outer event loop (through a
// queued call, so after the modal exec() has returned).
class ModalScope {
public:
  ModalScope();
  ~ModalScope();
  ModalScope(const ModalScope &) = delete;
  ModalScope &operator=(const ModalScope &) = delete;
};

bool InModalScope();

// Runs work now, unless a modal scope is open or earlier work still waits; then
// it is queued behind that work. Work that may outlive what it touches must
// check for that itself; DefaultModeQueue does.
void RunInDefaultMode(std::function<void()> work);

// Calls that an event source hands on to its handlers: each posted call runs
// from a later turn of the event loop of the thread that made the queue (never
// inside the caller), in default mode, in the order posted, and only if the
// queue still exists by then. A source that owns its queue therefore never
// calls into a handler after it is gone.
class DefaultModeQueue {
public:
  DefaultModeQueue();
  ~DefaultModeQueue();
  DefaultModeQueue(const DefaultModeQueue &) = delete;
  DefaultModeQueue &operator=(const DefaultModeQueue &) = delete;

  void post(std::function<void()> call);

private:
  // Lives in the thread that made the queue; posted calls go through its
  // event loop, and its QPointer tells whether the queue is still there.
  QObject context_;
};

} // namespace runloop

#endif
