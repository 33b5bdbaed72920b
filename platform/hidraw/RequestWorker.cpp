#include "platform/hidraw/RequestWorker.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <sys/ioctl.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace hid::hidraw {

using Clock = std::chrono::steady_clock;

struct RequestWorker::Shared {
  struct Job {
    uint64_t number;
    Request request;
    std::chrono::milliseconds timeout;
    Done done; // empty for run()'s request, whose caller waits
  };

  std::mutex mutex;
  std::condition_variable wake;     // the thread waits for work or stop
  std::condition_variable finished; // run()'s caller waits for the outcome
  std::deque<Job> jobs;             // handed over, not yet taken
  std::optional<uint64_t> running;  // the job the thread is in
  Clock::time_point takenAt;        // when it took that job
  std::chrono::milliseconds runningTimeout{};
  Done runningDone; // the running job's, until its outcome or timeout
  std::optional<RequestOutcome> outcome; // run()'s, not yet collected
  uint64_t nextNumber = 0;
  bool abandoned = false; // the running job's caller stopped waiting
  bool stopping = false;

  bool idle() const { return jobs.empty() && !running; }
};

namespace {

using Shared = RequestWorker::Shared;
using Done = RequestWorker::Done;

RequestOutcome Execute(Request &request) {
  RequestOutcome outcome;
  int fd = request.fd->get();
  do {
    if (request.kind == Request::Kind::Write)
      outcome.result = ::write(fd, request.bytes.data(), request.bytes.size());
    else
      outcome.result = ::ioctl(fd, request.ioctlRequest, request.bytes.data());
  } while (outcome.result < 0 && errno == EINTR);
  outcome.answeredAt = std::chrono::steady_clock::now();
  if (outcome.result < 0)
    outcome.error = errno;
  outcome.bytes = std::move(request.bytes);
  return outcome;
}

// Hands an outcome to done on the main thread; callable from any thread.
void Answer(RequestWorker::Done done, RequestOutcome outcome) {
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [done = std::move(done), outcome = std::move(outcome)] { done(outcome); },
      Qt::QueuedConnection);
}

void CheckDeadline(const std::shared_ptr<Shared> &shared, uint64_t number,
                   std::chrono::milliseconds wait);

void CheckDeadlineAfter(const std::shared_ptr<Shared> &shared, uint64_t number,
                        std::chrono::milliseconds wait) {
  QTimer::singleShot(
      wait, QCoreApplication::instance(),
      [shared, number, wait] { CheckDeadline(shared, number, wait); });
}

// On the main thread: a started job that is over is left alone, one still
// queued is looked at again a timeout later, and the running one is
// abandoned once its time is up, with every job queued behind it.
void CheckDeadline(const std::shared_ptr<Shared> &shared, uint64_t number,
                   std::chrono::milliseconds wait) {
  std::vector<Done> busy;
  Done timedOut;
  {
    std::lock_guard lock(shared->mutex);
    if (shared->running != number || shared->abandoned) {
      const bool queued = std::any_of(
          shared->jobs.begin(), shared->jobs.end(),
          [&](const Shared::Job &job) { return job.number == number; });
      if (queued)
        CheckDeadlineAfter(shared, number, wait);
      return;
    }
    const Clock::time_point deadline = shared->takenAt + shared->runningTimeout;
    if (Clock::now() < deadline) {
      CheckDeadlineAfter(shared, number,
                         std::chrono::ceil<std::chrono::milliseconds>(
                             deadline - Clock::now()));
      return;
    }
    shared->abandoned = true;
    timedOut = std::move(shared->runningDone);
    for (Shared::Job &job : shared->jobs)
      busy.push_back(std::move(job.done));
    shared->jobs.clear();
  }
  Answer(std::move(timedOut), RequestOutcome{.timedOut = true});
  for (Done &done : busy)
    Answer(std::move(done), RequestOutcome{.busy = true});
}

void WorkerLoop(std::shared_ptr<Shared> shared) {
  std::unique_lock lock(shared->mutex);
  for (;;) {
    shared->wake.wait(
        lock, [&] { return !shared->jobs.empty() || shared->stopping; });
    if (shared->jobs.empty())
      return;
    Shared::Job job = std::move(shared->jobs.front());
    shared->jobs.pop_front();
    shared->running = job.number;
    shared->takenAt = Clock::now();
    shared->runningTimeout = job.timeout;
    shared->runningDone = std::move(job.done);
    shared->finished.notify_all();
    lock.unlock();
    RequestOutcome outcome = Execute(job.request);
    job.request.fd.reset(); // may close the descriptor: its handle let it go
    lock.lock();
    shared->running.reset();
    if (!std::exchange(shared->abandoned, false)) {
      if (Done done = std::move(shared->runningDone)) {
        shared->runningDone = nullptr;
        Answer(std::move(done), std::move(outcome));
      } else {
        shared->outcome = std::move(outcome);
      }
    }
    shared->finished.notify_all();
  }
}

} // namespace

RequestWorker::RequestWorker() : shared_(std::make_shared<Shared>()) {}

RequestWorker::~RequestWorker() {
  if (!thread_.joinable())
    return;
  bool idle;
  {
    std::lock_guard lock(shared_->mutex);
    shared_->stopping = true;
    idle = shared_->idle();
    shared_->wake.notify_one();
  }
  if (idle)
    thread_.join();
  else
    thread_.detach(); // it ends once its stuck request is over
}

bool RequestWorker::startThread() {
  if (thread_.joinable())
    return true;
  try {
    thread_ = std::thread(WorkerLoop, shared_);
  } catch (const std::system_error &) {
    return false;
  }
  return true;
}

RequestOutcome RequestWorker::run(Request request,
                                  std::chrono::milliseconds timeout) {
  std::unique_lock lock(shared_->mutex);
  // Requests started before this one go first, each within its timeout.
  const auto pending = shared_->jobs.size() + (shared_->running ? 1 : 0);
  const auto over = [&] { return shared_->idle() || shared_->abandoned; };
  if (!shared_->finished.wait_for(lock, timeout * pending, over) ||
      shared_->abandoned)
    return RequestOutcome{.busy = true};
  if (!startThread())
    return RequestOutcome{.error = ENOMEM};
  const uint64_t number = shared_->nextNumber++;
  shared_->outcome.reset();
  shared_->jobs.push_back({number, std::move(request), timeout, nullptr});
  shared_->wake.notify_one();
  const bool taken = shared_->finished.wait_for(lock, kStartBound, [&] {
    return shared_->running == number || shared_->outcome;
  });
  if (!taken ||
      !shared_->finished.wait_until(lock, shared_->takenAt + timeout, [&] {
        return shared_->outcome.has_value();
      })) {
    // A request the thread never took is not made.
    if (!taken) {
      shared_->jobs.clear();
      return RequestOutcome{.timedOut = true};
    }
    shared_->abandoned = true;
    return RequestOutcome{.timedOut = true};
  }
  RequestOutcome outcome = std::move(*shared_->outcome);
  shared_->outcome.reset();
  return outcome;
}

void RequestWorker::start(Request request, std::chrono::milliseconds timeout,
                          Done done) {
  std::unique_lock lock(shared_->mutex);
  if (shared_->abandoned) {
    lock.unlock();
    return Answer(std::move(done), RequestOutcome{.busy = true});
  }
  if (!startThread()) {
    lock.unlock();
    return Answer(std::move(done), RequestOutcome{.error = ENOMEM});
  }
  const uint64_t number = shared_->nextNumber++;
  shared_->jobs.push_back(
      {number, std::move(request), timeout, std::move(done)});
  shared_->wake.notify_one();
  CheckDeadlineAfter(shared_, number, timeout);
}

} // namespace hid::hidraw
