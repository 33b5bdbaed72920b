#include "platform/hidraw/RequestWorker.h"

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <sys/ioctl.h>
#include <system_error>
#include <unistd.h>

namespace hid::hidraw {

struct RequestWorker::Shared {
  std::mutex mutex;
  std::condition_variable wake;     // the thread waits for work or stop
  std::condition_variable finished; // the caller waits for the outcome
  std::optional<Request> request;   // handed over, not yet taken
  std::optional<std::chrono::steady_clock::time_point> takenAt;
  std::optional<RequestOutcome> outcome; // done, not yet collected
  bool busy = false;      // a request was handed over and is not over yet
  bool abandoned = false; // its caller stopped waiting
  bool stopping = false;
};

namespace {

RequestOutcome Execute(Request &request) {
  RequestOutcome outcome;
  int fd = request.fd->get();
  do {
    if (request.kind == Request::Kind::Write)
      outcome.result = ::write(fd, request.bytes.data(), request.bytes.size());
    else
      outcome.result = ::ioctl(fd, request.ioctlRequest, request.bytes.data());
  } while (outcome.result < 0 && errno == EINTR);
  if (outcome.result < 0)
    outcome.error = errno;
  outcome.bytes = std::move(request.bytes);
  return outcome;
}

void WorkerLoop(std::shared_ptr<RequestWorker::Shared> shared) {
  std::unique_lock lock(shared->mutex);
  for (;;) {
    shared->wake.wait(lock,
                      [&] { return shared->request || shared->stopping; });
    if (!shared->request)
      return;
    Request request = std::move(*shared->request);
    shared->request.reset();
    shared->takenAt = std::chrono::steady_clock::now();
    shared->finished.notify_one();
    lock.unlock();
    RequestOutcome outcome = Execute(request);
    request.fd.reset(); // may close the descriptor: its handle let it go
    lock.lock();
    if (shared->abandoned) {
      shared->abandoned = false;
      shared->busy = false;
    } else {
      shared->outcome = std::move(outcome);
      shared->finished.notify_one();
    }
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
    idle = !shared_->busy;
    shared_->wake.notify_one();
  }
  if (idle)
    thread_.join();
  else
    thread_.detach(); // it ends once its stuck request is over
}

RequestOutcome RequestWorker::run(Request request,
                                  std::chrono::milliseconds timeout) {
  std::unique_lock lock(shared_->mutex);
  if (shared_->busy)
    return RequestOutcome{.busy = true};
  if (!thread_.joinable()) {
    try {
      thread_ = std::thread(WorkerLoop, shared_);
    } catch (const std::system_error &) {
      return RequestOutcome{.error = ENOMEM};
    }
  }
  shared_->busy = true;
  shared_->takenAt.reset();
  shared_->request = std::move(request);
  shared_->wake.notify_one();
  const bool taken = shared_->finished.wait_for(
      lock, kStartBound, [&] { return shared_->takenAt.has_value(); });
  if (!taken ||
      !shared_->finished.wait_until(lock, *shared_->takenAt + timeout, [&] {
        return shared_->outcome.has_value();
      })) {
    // A request never taken is taken later all the same, and then dropped.
    shared_->abandoned = true;
    return RequestOutcome{.timedOut = true};
  }
  RequestOutcome outcome = std::move(*shared_->outcome);
  shared_->outcome.reset();
  shared_->busy = false;
  return outcome;
}

} // namespace hid::hidraw
