#include "platform/InputReportQueue.h"

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <mutex>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace hid {

namespace {

// Reports taken out of the ring under one lock.
constexpr size_t kTakenAtOnce = 256;

struct Slot {
  std::vector<uint8_t> bytes;
  uint64_t lostBefore = 0;
  bool isReport = true; // false: the loss at the end, with no report after it
  ReportTime readAt{};
};

} // namespace

// Lives on the owner's thread only.
struct InputReportQueue::Delivery {
  Sink sink;
  std::weak_ptr<Writer::Shared> shared;
  std::unique_ptr<QSocketNotifier> wakeUp; // on the ring's eventfd
  std::unique_ptr<QTimer> rest;            // the frame after a batch
  bool alive = true;

  // The caller holds a reference: the sink may destroy the queue.
  void drain();
  // At the end of a rest: drains what came meanwhile, if nothing woke the
  // owner for it already.
  void restEnded();
};

// The ring's wake-up is an eventfd rather than a queued Qt call: a writer
// thread touches nothing of the owner's event loop, and the hand-over is
// one a thread sanitizer can follow.
struct InputReportQueue::Writer::Shared {
  std::mutex mutex;
  std::vector<Slot> ring = std::vector<Slot>(kCapacity);
  size_t head = 0;
  size_t count = 0;
  uint64_t lostSinceStored = 0;
  ReportTime lastLostAt{};
  uint64_t lostTotal = 0;
  bool wakePending = false;
  bool resting = false; // a batch emptied the ring, and its frame is not over
  const int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);

  Shared() = default;
  ~Shared() { ::close(wakeFd); }
  Shared(const Shared &) = delete;
  Shared &operator=(const Shared &) = delete;

  // Moves up to kTakenAtOnce reports out; *more tells whether any remain.
  // The ring empty, the owner rests.
  std::vector<Slot> take(bool *more);
  // Makes the owner's event loop drain the ring, from any thread.
  void wake() const {
    const uint64_t one = 1;
    while (::write(wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
  }
};

void InputReportQueue::Writer::push(const uint8_t *report, size_t size,
                                    ReportTime readAt) {
  if (!shared_)
    return;
  bool wake = false;
  {
    std::lock_guard lock(shared_->mutex);
    if (shared_->count == kCapacity) {
      ++shared_->lostSinceStored;
      ++shared_->lostTotal;
      shared_->lastLostAt = readAt;
      return;
    }
    Slot &slot = shared_->ring[(shared_->head + shared_->count) % kCapacity];
    slot.bytes.assign(report, report + size);
    slot.lostBefore = std::exchange(shared_->lostSinceStored, 0);
    slot.readAt = readAt;
    ++shared_->count;
    wake = !shared_->wakePending &&
           (!shared_->resting || shared_->count >= kWakeCount);
    shared_->wakePending |= wake;
  }
  if (wake)
    shared_->wake();
}

std::vector<Slot> InputReportQueue::Writer::Shared::take(bool *more) {
  std::lock_guard lock(mutex);
  std::vector<Slot> taken;
  while (count > 0 && taken.size() < kTakenAtOnce) {
    taken.push_back(std::move(ring[head]));
    head = (head + 1) % kCapacity;
    --count;
  }
  if (count == 0 && lostSinceStored > 0)
    taken.push_back(
        Slot{{}, std::exchange(lostSinceStored, 0), false, lastLostAt});
  *more = count > 0;
  if (!*more) {
    wakePending = false;
    resting = true;
  }
  return taken;
}

void InputReportQueue::Delivery::drain() {
  QElapsedTimer batch;
  batch.start();
  for (;;) {
    const std::shared_ptr<Writer::Shared> ring = shared.lock();
    if (!ring)
      return;
    bool more = false;
    static const uint8_t kEmpty = 0; // a report of no bytes is not a loss
    for (const Slot &slot : ring->take(&more)) {
      if (!alive)
        return;
      sink(!slot.isReport       ? nullptr
           : slot.bytes.empty() ? &kEmpty
                                : slot.bytes.data(),
           slot.bytes.size(), slot.lostBefore, slot.readAt);
    }
    if (!alive)
      return;
    if (!more) {
      rest->start();
      return;
    }
    if (batch.elapsed() >= kBatchMS) {
      ring->wake();
      return;
    }
  }
}

void InputReportQueue::Delivery::restEnded() {
  const std::shared_ptr<Writer::Shared> ring = shared.lock();
  if (!ring)
    return;
  {
    std::lock_guard lock(ring->mutex);
    ring->resting = false;
    if (ring->count == 0 || ring->wakePending)
      return;
    ring->wakePending = true;
  }
  drain();
}

InputReportQueue::InputReportQueue(Sink sink)
    : shared_(std::make_shared<Writer::Shared>()),
      delivery_(std::make_shared<Delivery>()) {
  delivery_->sink = std::move(sink);
  delivery_->shared = shared_;
  delivery_->wakeUp =
      std::make_unique<QSocketNotifier>(shared_->wakeFd, QSocketNotifier::Read);
  QObject::connect(
      delivery_->wakeUp.get(), &QSocketNotifier::activated,
      [fd = shared_->wakeFd, weak = std::weak_ptr<Delivery>(delivery_)] {
        uint64_t wakes;
        while (::read(fd, &wakes, sizeof wakes) < 0 && errno == EINTR) {
        }
        if (std::shared_ptr<Delivery> self = weak.lock())
          self->drain();
      });
  delivery_->rest = std::make_unique<QTimer>();
  delivery_->rest->setSingleShot(true);
  delivery_->rest->setInterval(kRestMS);
  QObject::connect(delivery_->rest.get(), &QTimer::timeout,
                   [weak = std::weak_ptr<Delivery>(delivery_)] {
                     if (std::shared_ptr<Delivery> self = weak.lock())
                       self->restEnded();
                   });
}

InputReportQueue::~InputReportQueue() {
  delivery_->alive = false;
  delivery_->wakeUp.reset(); // before the ring, and its eventfd, may go
  delivery_->rest.reset();
}

InputReportQueue::Writer InputReportQueue::writer() const {
  Writer writer;
  writer.shared_ = shared_;
  return writer;
}

uint64_t InputReportQueue::lost() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->lostTotal;
}

} // namespace hid
