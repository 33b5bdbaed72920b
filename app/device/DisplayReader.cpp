#include "app/device/DisplayReader.h"

#include "app/ReadFailedAlert.h"
#include "app/device/TargetWriter.h"
#include "app/device/WindowLog.h"
#include "app/device/WindowTarget.h"
#include "core/reports/ReportRecord.h"

#include <QWidget>

namespace explorer {

DisplayReader::DisplayReader(const WindowTarget &target, WindowLog &log,
                             core::InterfaceListeners &listeners,
                             const TargetWriter &writer, QWidget &alertsOver)
    : windowTarget_(target), log_(log), listeners_(listeners), writer_(writer),
      alertsOver_(alertsOver) {
  answerTimer_.setSingleShot(true);
  connect(&answerTimer_, &QTimer::timeout, this, &DisplayReader::answerMissing);
}

DisplayReader::~DisplayReader() {
  listeners_.stopListening(this);
}

void DisplayReader::start() {
  const std::optional<core::InterfaceIdentity> target =
      windowTarget_.selected();
  if (running() || !target)
    return;
  const hid::Status status =
      listeners_.listen(windowTarget_.selectedPosition(), *target, this);
  if (status != hid::kSuccess)
    return ShowReadFailedAlert(alertsOver_.window(), hid::StatusString(status));
  target_ = *target;
  ++readBacks_;
  exchange_ = std::make_unique<core::DisplayExchange>(
      std::vector<core::Interface1Report>{core::LcdModeReport(true)},
      core::DisplayReadBack());
  proceed();
}

void DisplayReader::cancel() {
  if (!running())
    return;
  answerTimer_.stop();
  exchange_.reset();
  writing_ = false;
  listeners_.stopListening(target_, this);
}

// Sends what is due, one report once the device took the one before; a
// report that did not go out, or a target that is no longer selected, ends
// the read-back. An answer may come before its request's write is done;
// then the write's end goes on.
void DisplayReader::proceed() {
  if (!running() || writing_)
    return;
  if (windowTarget_.selected() != target_)
    return end(false);
  if (const std::optional<core::Interface1Report> report = exchange_->next()) {
    writing_ = true;
    return writer_.write({*report}, *this,
                         [this, readBack = readBacks_](bool sent) {
                           if (readBack != readBacks_)
                             return;
                           writing_ = false;
                           sent ? proceed() : end(false);
                         });
  }
  if (exchange_->awaitsAnswer())
    answerTimer_.start(core::kDisplayAnswerTimeoutMS);
  else
    end(true);
}

void DisplayReader::end(bool complete) {
  const core::DisplayReadBack readBack = exchange_->readBack();
  cancel();
  emit ended(complete, readBack.line(0), readBack.line(1));
}

void DisplayReader::answerMissing() {
  answerTimer_.stop();
  ShowReadFailedAlert(alertsOver_.window(),
                      core::DisplayAnswerMissing(target_.displayName()));
  if (running())
    end(false);
}

// The next reports go out from the event loop, not from inside the
// delivery of this one.
void DisplayReader::interruptReport(const core::InterfaceIdentity &source,
                                    const uint8_t *report, uint32_t size,
                                    hid::ReportTime readAt) {
  if (!running() || source != target_ || !exchange_->takeAnswer(report, size))
    return;
  answerTimer_.stop();
  if (!windowTarget_.isListening(source))
    log_.append(core::kReportDirectionIn, report[0], int(size) - 1, report + 1,
                source, readAt);
  QMetaObject::invokeMethod(this, &DisplayReader::proceed,
                            Qt::QueuedConnection);
}

// The listeners have let go of this reader already; the alert waits until
// they are done.
void DisplayReader::listeningFailed(const core::InterfaceIdentity &source,
                                    hid::Status status) {
  if (dropped(source))
    QMetaObject::invokeMethod(
        this,
        [this, status] {
          ShowReadFailedAlert(alertsOver_.window(), hid::StatusString(status));
        },
        Qt::QueuedConnection);
}

void DisplayReader::interfaceGone(const core::InterfaceIdentity &source) {
  dropped(source);
}

bool DisplayReader::dropped(const core::InterfaceIdentity &source) {
  if (!running() || source != target_)
    return false;
  answerTimer_.stop();
  exchange_.reset();
  writing_ = false;
  emit ended(false, {}, {});
  return true;
}

} // namespace explorer
