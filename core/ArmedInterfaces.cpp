#include "core/ArmedInterfaces.h"

#include "lib/PinworthLib.h"

#include <algorithm>

ArmedInterfaces::ArmedInterfaces(hid::ReportCallback callback, void *refcon)
    : callback_(callback), refcon_(refcon) {}

ArmedInterfaces::~ArmedInterfaces() {
  disarmAll();
}

int32_t ArmedInterfaces::arm(hid::DeviceInterface *handle,
                             const InterfaceIdentity &source) {
  auto found = std::find_if(armed_.begin(), armed_.end(),
                            [handle](const std::unique_ptr<Armed> &a) {
                              return a->handle == handle;
                            });
  const bool isNew = found == armed_.end();
  if (isNew) {
    handle->AddRef();
    armed_.push_back(std::make_unique<Armed>(Armed{handle, source}));
    found = armed_.end() - 1;
  }
  const int32_t status = PinworthSetInterruptCallback(
      handle, (*found)->buffer.data(), kReportBufferSize, &Deliver, this);
  if (status != hid::kSuccess && isNew) {
    handle->setInterruptReportHandlerCallback(nullptr, 0, nullptr, nullptr,
                                              nullptr);
    handle->Release();
    armed_.erase(found);
  }
  return status;
}

// The handler goes before the reference: the handle may die with it.
void ArmedInterfaces::disarmAll() {
  for (const std::unique_ptr<Armed> &armed : armed_) {
    armed->handle->setInterruptReportHandlerCallback(nullptr, 0, nullptr,
                                                     nullptr, nullptr);
    armed->handle->Release();
  }
  armed_.clear();
}

QList<InterfaceIdentity> ArmedInterfaces::sources() const {
  QList<InterfaceIdentity> sources;
  for (const std::unique_ptr<Armed> &armed : armed_)
    sources.append(armed->source);
  return sources;
}

const InterfaceIdentity *ArmedInterfaces::sourceOf(const void *sender) const {
  for (const std::unique_ptr<Armed> &armed : armed_)
    if (armed->handle == sender)
      return &armed->source;
  return nullptr;
}

void ArmedInterfaces::Deliver(void *target, hid::Status result, void *refcon,
                              void *sender, uint32_t bufferSize) {
  auto *self = static_cast<ArmedInterfaces *>(refcon);
  const bool ours =
      std::any_of(self->armed_.begin(), self->armed_.end(),
                  [target, sender](const std::unique_ptr<Armed> &a) {
                    return a->handle == sender && a->buffer.data() == target;
                  });
  // A loss (kErrorOverrun) counts reports in bufferSize; the buffer is
  // untouched.
  if (ours)
    self->callback_(target, result, self->refcon_, sender,
                    result == hid::kErrorOverrun
                        ? bufferSize
                        : std::min(bufferSize, kReportBufferSize));
}
