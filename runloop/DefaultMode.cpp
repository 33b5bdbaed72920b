#include "runloop/DefaultMode.h"

#include <QCoreApplication>
#include <QPointer>

#include <deque>

namespace runloop {

namespace {

int gModalDepth = 0;
std::deque<std::function<void()>> gWaiting;
bool gFlushScheduled = false;

// Runs the waiting work in order until it is done or a modal scope opens
// again (the work may itself show an alert); the rest waits for that scope.
void FlushWaiting() {
  gFlushScheduled = false;
  while (gModalDepth == 0 && !gWaiting.empty()) {
    std::function<void()> work = std::move(gWaiting.front());
    gWaiting.pop_front();
    work();
  }
}

// Whether RunInDefaultMode() would queue work instead of running it now.
bool WorkMustWait() {
  return gModalDepth > 0 || !gWaiting.empty();
}

// Flushes from the outer event loop, after the modal exec() has returned.
void ScheduleFlush() {
  if (gFlushScheduled)
    return;
  gFlushScheduled = true;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [] { FlushWaiting(); },
      Qt::QueuedConnection);
}

} // namespace

ModalScope::ModalScope() {
  ++gModalDepth;
}

ModalScope::~ModalScope() {
  if (--gModalDepth == 0 && !gWaiting.empty())
    ScheduleFlush();
}

bool InModalScope() {
  return gModalDepth > 0;
}

void RunInDefaultMode(std::function<void()> work) {
  if (!WorkMustWait()) {
    work();
    return;
  }
  gWaiting.push_back(std::move(work));
  if (gModalDepth == 0)
    ScheduleFlush();
}

DefaultModeQueue::DefaultModeQueue() = default;

DefaultModeQueue::~DefaultModeQueue() = default;

void DefaultModeQueue::post(std::function<void()> call) {
  QMetaObject::invokeMethod(
      &context_,
      [context = QPointer<QObject>(&context_), call = std::move(call)] {
        RunInDefaultMode([context, call] {
          if (context)
            call();
        });
      },
      Qt::QueuedConnection);
}

} // namespace runloop
