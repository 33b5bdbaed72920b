// Default-mode delivery on the main thread's Qt event loop.
//
// Device notifications, interrupt reports and the poll timer must wait while a
// modal alert or panel is up, and then arrive in order with nothing lost. Qt's
// nested modal loops keep serving every source, so the application holds a
// ModalScope around each modal exec(), and every default-mode source goes
// through RunInDefaultMode(), a DefaultModeQueue or a DefaultModeTimer.
//
// All of it is used on the main thread only.
#ifndef PINWORTH_RUNLOOP_DEFAULT_MODE_H
#define PINWORTH_RUNLOOP_DEFAULT_MODE_H

#include <QObject>
#include <QTimer>

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

// A repeating timer that fires only in default mode. Ticks missed while a
// modal scope was open make one tick when it closes, after which the period
// starts anew; a late tick is never made up by extra ones.
class DefaultModeTimer : public QObject {
  Q_OBJECT
public:
  explicit DefaultModeTimer(QObject *parent = nullptr);

  void start(int intervalMS);
  void stop();
  bool isActive() const { return timer_.isActive(); }
  void setTimerType(Qt::TimerType type) { timer_.setTimerType(type); }

signals:
  void timeout();

private:
  void tick();
  void fireWaitingTick();

  QTimer timer_;
  bool tickWaiting_ = false;
  bool restartWhenFired_ = false;
  // Bumped by start() and stop(), so that a tick still waiting from before
  // does not fire.
  unsigned generation_ = 0;
};

} // namespace runloop

#endif
