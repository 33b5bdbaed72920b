#include "app/ReportWriter.h"

#include "app/InterfaceMenu.h"
#include "app/ReportForm.h"
#include "app/framework/AlertPanel.h"
#include "core/reports/ReportRecord.h"
#include "lib/PinworthLib.h"

#include <QLineEdit>
#include <QPointer>

namespace explorer {

namespace {

const QString kHexRangeMessage =
    QStringLiteral("Please only use hex values between 00 and FF.");

// The report as it goes out: led by its report ID when it has one.
std::vector<uint8_t> LedBy(std::optional<uint8_t> reportID,
                           const std::vector<uint8_t> &data) {
  std::vector<uint8_t> report = data;
  if (reportID)
    report.insert(report.begin(), *reportID);
  return report;
}

} // namespace

ReportWriter::ReportWriter(const InterfaceMenu &menu, const ReportForm &form,
                           QWidget *window)
    : menu_(menu), form_(form), window_(window) {}

void ReportWriter::alert(const QString &title, const QString &message,
                         const QString &reason) const {
  RunAlertPanel(window_, title, message, reason);
}

bool ReportWriter::devicePresent() const {
  if (PinworthIsPresent())
    return true;
  alert(QStringLiteral("Pinworth not found"),
        QStringLiteral("There is no Pinworth device attached to you mac."));
  return false;
}

bool ReportWriter::mayWrite() {
  if (!waitingFor_)
    return true;
  emit refused(QStringLiteral("Not sent: %1 has not yet taken the report "
                              "written before.")
                   .arg(waitingFor_->displayName()));
  return false;
}

void ReportWriter::alertFailure(int32_t status) const {
  ShowAlertWhenNoDialog(
      window_, QStringLiteral("Pinworth Error"),
      QStringLiteral("An error occured while trying to write to the "
                     "selected Pinworth device."),
      hid::StatusString(status));
}

void ReportWriter::write() {
  if (!mayWrite() || !devicePresent())
    return;
  QLineEdit *bad = nullptr;
  const std::optional<std::vector<uint8_t>> data = form_.dataBytes(&bad);
  if (!data) {
    alert(QStringLiteral("Invalid data format"), kHexRangeMessage);
    if (bad)
      ReportFormFields::focus(bad);
    return;
  }
  const PinworthListNode *node = menu_.selectedNode();
  if (!node)
    return;
  std::optional<uint8_t> reportID;
  if (form_.isLongLayout() && !(reportID = form_.reportID())) {
    alert(QStringLiteral("Invalid report id number format"), kHexRangeMessage);
    ReportFormFields::focus(form_.reportIDField());
    return;
  }
  if (!form_.isLongLayout() &&
      form_.reportSize() != ReportForm::kShortLayoutDataBytes) {
    qWarning("Unhandled report size");
    return;
  }
  start(*node, reportID, *data, {});
}

void ReportWriter::send(std::optional<uint8_t> reportID,
                        const std::vector<uint8_t> &data, Done done) {
  const PinworthListNode *node = nullptr;
  if (!mayWrite() || !devicePresent() || !(node = menu_.selectedNode()))
    return done(false);
  start(*node, reportID, data, std::move(done));
}

void ReportWriter::start(const PinworthListNode &node,
                         std::optional<uint8_t> reportID,
                         const std::vector<uint8_t> &data, Done done) {
  const Sent sent = sentAs(reportID, data);
  waitingFor_ = sent.target;
  PinworthWriteToInterfaceLater(
      node.pinworthHIDInterface, LedBy(reportID, data),
      [self = QPointer(this), sent, done = std::move(done)](
          int32_t status, std::vector<uint8_t>, hid::ReportTime at) {
        Sent taken = sent;
        taken.at = at;
        if (self)
          self->answered(status, taken, done);
      });
}

void ReportWriter::answered(int32_t status, const Sent &report,
                            const Done &done) {
  waitingFor_.reset();
  if (status == hid::kSuccess)
    emit sent(report);
  else
    alertFailure(status);
  if (done)
    done(status == hid::kSuccess);
}

ReportWriter::Sent
ReportWriter::sentAs(std::optional<uint8_t> reportID,
                     const std::vector<uint8_t> &data) const {
  return Sent{reportID ? int32_t(*reportID) : core::kNoReportID, data,
              *menu_.selectedInterface()};
}

} // namespace explorer
