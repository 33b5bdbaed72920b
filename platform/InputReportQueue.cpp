#include "platform/InputReportQueue.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <mutex>
#include <vector>

namespace hid {

namespace {

// Reports taken out of the ring under one lock.
constexpr size_t kTakenAtOnce = 256;

struct Slot {
  std::vector<uint8_t> bytes;
  uint64_t lostBefore = 0;
  bool isReport = true; // false: the loss at the end, with no report after it
};

} // namespace

struct InputReportQueue::Delivery {
  Sink sink;
  std::weak_ptr<Writer::Shared> shared;
  bool alive = true; // on the owner's thread only

  static void Wake(const std::weak_ptr<Delivery> &delivery);
  void drain(const std::shared_ptr<Delivery> &self);
};

struct InputReportQueue::Writer::Shared {
  std::mutex mutex;
  std::vector<Slot> ring = std::vector<Slot>(kCapacity);
  size_t head = 0;
  size_t count = 0;
  uint64_t lostSinceStored = 0;
  uint64_t lostTotal = 0;
  bool wakePending = false;
  std::weak_ptr<Delivery> delivery;

  // Moves up to kTakenAtOnce reports out; *more tells whether any remain.
  std::vector<Slot> take(bool *more);
};

void InputReportQueue::Writer::push(const uint8_t *report, size_t size) {
  if (!shared_)
    return;
  std::weak_ptr<Delivery> wake;
  {
    std::lock_guard lock(shared_->mutex);
    if (shared_->count == kCapacity) {
      ++shared_->lostSinceStored;
      ++shared_->lostTotal;
      return;
    }
    Slot &slot = shared_->ring[(shared_->head + shared_->count) % kCapacity];
    slot.bytes.assign(report, report + size);
    slot.lostBefore = std::exchange(shared_->lostSinceStored, 0);
    ++shared_->count;
    if (!std::exchange(shared_->wakePending, true))
      wake = shared_->delivery;
  }
  if (!wake.expired())
    Delivery::Wake(wake);
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
    taken.push_back(Slot{{}, std::exchange(lostSinceStored, 0), false});
  *more = count > 0;
  if (!*more)
    wakePending = false;
  return taken;
}

// From any thread: the owner's event loop drains the ring, in default mode.
void InputReportQueue::Delivery::Wake(const std::weak_ptr<Delivery> &delivery) {
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [delivery] {
        runloop::RunInDefaultMode([delivery] {
          if (std::shared_ptr<Delivery> self = delivery.lock())
            self->drain(self);
        });
      },
      Qt::QueuedConnection);
}

void InputReportQueue::Delivery::drain(const std::shared_ptr<Delivery> &self) {
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
           slot.bytes.size(), slot.lostBefore);
    }
    if (!more || !alive)
      return;
    if (batch.elapsed() >= kBatchMS) {
      Wake(self);
      return;
    }
  }
}

InputReportQueue::InputReportQueue(Sink sink)
    : shared_(std::make_shared<Writer::Shared>()),
      delivery_(std::make_shared<Delivery>(Delivery{std::move(sink), {}})) {
  delivery_->shared = shared_;
  shared_->delivery = delivery_;
}

InputReportQueue::~InputReportQueue() {
  delivery_->alive = false;
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
