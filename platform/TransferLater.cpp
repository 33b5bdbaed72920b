#include "platform/TransferLater.h"

#include <QCoreApplication>
#include <QTimer>

namespace hid {

std::shared_ptr<DeviceInterface> HoldHandle(DeviceInterface *handle) {
  if (handle)
    handle->AddRef();
  return std::shared_ptr<DeviceInterface>(handle, [](DeviceInterface *held) {
    if (held)
      held->Release();
  });
}

void AnswerLater(DeviceInterface *handle, DeviceInterface::TransferDone done,
                 Status status, std::vector<uint8_t> bytes, int delayMS,
                 std::optional<ReportTime> answeredAt) {
  const ReportTime at = answeredAt.value_or(std::chrono::steady_clock::now() +
                                            std::chrono::milliseconds(delayMS));
  QTimer::singleShot(delayMS, QCoreApplication::instance(),
                     [hold = HoldHandle(handle), done = std::move(done), status,
                      bytes = std::move(bytes),
                      at]() mutable { done(status, std::move(bytes), at); });
}

} // namespace hid
