#include "platform/TransferLater.h"

#include "runloop/DefaultMode.h"

#include <QCoreApplication>
#include <QTimer>

namespace hid {

void AnswerLater(DeviceInterface *handle, DeviceInterface::TransferDone done,
                 Status status, std::vector<uint8_t> bytes, int delayMS) {
  if (handle)
    handle->AddRef();
  QTimer::singleShot(delayMS, QCoreApplication::instance(),
                     [handle, done = std::move(done), status,
                      bytes = std::move(bytes)]() mutable {
                       runloop::RunInDefaultMode([=]() mutable {
                         done(status, std::move(bytes));
                         if (handle)
                           handle->Release();
                       });
                     });
}

} // namespace hid
