// Answering a transfer made without waiting (DeviceInterface::setReportLater
// and getReportLater) from the main thread.
#ifndef PINWORTH_PLATFORM_TRANSFER_LATER_H
#define PINWORTH_PLATFORM_TRANSFER_LATER_H

#include "platform/HIDServices.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace hid {

// A reference to handle (none when it is null), let go when the last copy
// goes, whether the answer it waited for came or not.
std::shared_ptr<DeviceInterface> HoldHandle(DeviceInterface *handle);

// Calls done(status, bytes, answeredAt) from a turn of the main thread's
// event loop at least delayMS from now, also while a modal dialog is up (an
// answer never waits for the window), holding a reference
// to handle (when there is one) until done has returned. answeredAt is now
// plus delayMS when not given. Main thread only.
void AnswerLater(DeviceInterface *handle, DeviceInterface::TransferDone done,
                 Status status, std::vector<uint8_t> bytes = {},
                 int delayMS = 0, std::optional<ReportTime> answeredAt = {});

} // namespace hid

#endif
