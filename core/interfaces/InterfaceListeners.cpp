#include "core/interfaces/InterfaceListeners.h"

#include "lib/PinworthLib.h"

#include <algorithm>

namespace core {

InterfaceListeners::~InterfaceListeners() {
  for (const std::unique_ptr<Armed> &armed : armed_)
    LetGo(*armed);
}

hid::Status InterfaceListeners::listen(int position,
                                       const InterfaceIdentity &source,
                                       Listener *listener) {
  if (Armed *armed = find(source)) {
    if (std::find(armed->listeners.begin(), armed->listeners.end(), listener) ==
        armed->listeners.end())
      armed->listeners.push_back(listener);
    return hid::kSuccess;
  }
  const PinworthListNode *node = PinworthInterfaceListNodeAtIndex(position);
  if (position < 0 || !node)
    return hid::kErrorNoDevice;
  auto armed = std::make_unique<Armed>(
      Armed{node->pinworthHIDInterface, source, {listener}});
  armed->handle->AddRef();
  const hid::Status status = PinworthSetInterruptCallback(
      armed->handle, armed->buffer.data(), kReportBufferSize,
      &reportHandlerCallback, this);
  if (status != hid::kSuccess) {
    LetGo(*armed);
    return status;
  }
  armed_.push_back(std::move(armed));
  return hid::kSuccess;
}

void InterfaceListeners::stopListening(const InterfaceIdentity &source,
                                       Listener *listener) {
  Armed *armed = find(source);
  if (!armed)
    return;
  std::erase(armed->listeners, listener);
  if (armed->listeners.empty())
    erase(armed);
}

void InterfaceListeners::stopListening(Listener *listener) {
  for (const InterfaceIdentity &source : interfacesOf(listener))
    stopListening(source, listener);
}

void InterfaceListeners::followList() {
  std::vector<Armed *> gone;
  std::vector<std::pair<Armed, hid::Status>> failed;
  std::vector<Armed> unlisted;
  for (const std::unique_ptr<Armed> &armed : armed_) {
    const int position = PositionOfIdentity(armed->source);
    const PinworthListNode *node = PinworthInterfaceListNodeAtIndex(position);
    if (position < 0 || !node) {
      unlisted.push_back({nullptr, armed->source, armed->listeners});
      gone.push_back(armed.get());
      continue;
    }
    // The handle armed still reads its device: keeping it loses none of the
    // reports on their way, which arming the new one would.
    hid::DeviceInterface *handle = node->pinworthHIDInterface;
    if (handle == armed->handle || armed->handle->open(0) == hid::kSuccess)
      continue;
    handle->AddRef();
    const hid::Status status = PinworthSetInterruptCallback(
        handle, armed->buffer.data(), kReportBufferSize, &reportHandlerCallback,
        this);
    std::swap(armed->handle, handle);
    Armed old{handle, armed->source, {}};
    LetGo(old);
    if (status != hid::kSuccess) {
      failed.push_back({{nullptr, armed->source, armed->listeners}, status});
      gone.push_back(armed.get());
    }
  }
  for (Armed *armed : gone)
    erase(armed);
  for (const auto &[armed, status] : failed)
    for (Listener *listener : armed.listeners)
      listener->listeningFailed(armed.source, status);
  for (const Armed &armed : unlisted)
    for (Listener *listener : armed.listeners)
      listener->interfaceGone(armed.source);
}

bool InterfaceListeners::isListening(const InterfaceIdentity &source,
                                     const Listener *listener) const {
  const Armed *armed = find(source);
  return armed && std::find(armed->listeners.begin(), armed->listeners.end(),
                            listener) != armed->listeners.end();
}

QList<InterfaceIdentity>
InterfaceListeners::interfacesOf(const Listener *listener) const {
  QList<InterfaceIdentity> sources;
  for (const std::unique_ptr<Armed> &armed : armed_)
    if (std::find(armed->listeners.begin(), armed->listeners.end(), listener) !=
        armed->listeners.end())
      sources.append(armed->source);
  return sources;
}

InterfaceListeners::Armed *
InterfaceListeners::find(const InterfaceIdentity &source) const {
  for (const std::unique_ptr<Armed> &armed : armed_)
    if (armed->source == source)
      return armed.get();
  return nullptr;
}

InterfaceListeners::Armed *
InterfaceListeners::armedHandle(const void *sender) const {
  for (const std::unique_ptr<Armed> &armed : armed_)
    if (armed->handle == sender)
      return armed.get();
  return nullptr;
}

void InterfaceListeners::LetGo(Armed &armed) {
  armed.handle->setInterruptReportHandlerCallback(nullptr, 0, nullptr, nullptr,
                                                  nullptr);
  armed.handle->Release();
}

void InterfaceListeners::erase(Armed *armed) {
  const auto at =
      std::find_if(armed_.begin(), armed_.end(),
                   [armed](const auto &entry) { return entry.get() == armed; });
  if (at == armed_.end())
    return;
  std::unique_ptr<Armed> taken = std::move(*at);
  armed_.erase(at);
  LetGo(*taken);
}

// A listener may stop listening, or others start, from inside its call: each
// is looked up again before it is called.
void InterfaceListeners::deliver(void *target, hid::Status result, void *sender,
                                 uint32_t bufferSize) {
  const Armed *armed = armedHandle(sender);
  if (!armed || armed->buffer.data() != target)
    return;
  if (result == hid::kSuccess && bufferSize == 0)
    return;
  if (result != hid::kSuccess && result != hid::kErrorOverrun)
    return;
  // The report is copied: a listener's call may re-arm the handle, and the
  // platform writes the next report into the buffer.
  std::array<uint8_t, kReportBufferSize> report = armed->buffer;
  const uint32_t size = std::min(bufferSize, kReportBufferSize);
  const InterfaceIdentity source = armed->source;
  const hid::ReportTime readAt = armed->handle->interruptReportTime();
  const std::vector<Listener *> listeners = armed->listeners;
  for (Listener *listener : listeners) {
    if (!isListening(source, listener))
      continue;
    if (result == hid::kErrorOverrun)
      listener->reportsLost(source, bufferSize, readAt);
    else
      listener->interruptReport(source, report.data(), size, readAt);
  }
}

void reportHandlerCallback(void *target, hid::Status result, void *refcon,
                           void *sender, uint32_t bufferSize) {
  if (refcon)
    static_cast<InterfaceListeners *>(refcon)->deliver(target, result, sender,
                                                       bufferSize);
}

} // namespace core
