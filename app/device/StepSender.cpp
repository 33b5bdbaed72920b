#include "app/device/StepSender.h"

#include "app/device/TargetWriter.h"
#include "app/device/WindowTarget.h"
#include "core/reports/ReportRecord.h"
#include "platform/PinworthProtocol.h"

namespace explorer {

StepSender::StepSender(const WindowTarget &target, const TargetWriter &writer)
    : windowTarget_(target), writer_(writer) {}

const std::optional<core::InterfaceIdentity> &StepSender::aim() {
  return target_ = windowTarget_.selected();
}

void StepSender::send(const core::SequenceStep &step, const QObject &context,
                      core::SequenceRunner::Done done) const {
  if (const std::optional<QString> refusal = refusalOf(step))
    return done(refusal);
  std::vector<uint8_t> data(step.data.begin(), step.data.end());
  data.resize(pinworth::ReportDataSize(target_->interfaceNumber()));
  writer_.write(
      step.reportID != core::kNoReportID ? std::optional(uint8_t(step.reportID))
                                         : std::nullopt,
      data, &context, [done = std::move(done)](bool sent) {
        done(sent ? std::nullopt
                  : std::optional(QStringLiteral("the write failed")));
      });
}

std::optional<QString>
StepSender::refusalOf(const core::SequenceStep &step) const {
  if (windowTarget_.blocked())
    return QStringLiteral("the target's device is unplugged");
  if (!target_ || windowTarget_.selected() != target_)
    return QStringLiteral("the window's target changed");
  const bool interface1 = target_->interfaceNumber() == 1;
  if (interface1 != (step.reportID != core::kNoReportID))
    return interface1 ? QStringLiteral("an interface 1 report needs a report "
                                       "ID")
                      : QStringLiteral("an interface 0 report has no report "
                                       "ID");
  const size_t size = pinworth::ReportDataSize(target_->interfaceNumber());
  if (size_t(step.data.size()) > size)
    return QStringLiteral("its %1 bytes do not fit the target's %2")
        .arg(step.data.size())
        .arg(size);
  return std::nullopt;
}

} // namespace explorer
