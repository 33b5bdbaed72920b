// Writing the report the form holds to the interface the menu selects. The
// checks run in this order: a device is attached, every byte field in use
// holds a byte, an interface is at the selected position, and in the long
// layout the report ID field holds a byte. Then the report goes out (the
// report ID byte first in the long layout) through the library, without
// waiting for the device: once the device took it, sent() tells the log;
// when the transfer failed, an alert says so. Every failure ends in one
// alert, and nothing is sent after a failed check; no interface at the
// selected position ends it silently. While a write waits for its device,
// another is refused, and refused() says why.
//
// send() writes a report made elsewhere (the device area's) with the same
// checks of the device and the interface, the same refusal, the same alert
// when the transfer fails, and the same sent() once the device took it.
//
// Main thread only; the menu, the form and the window outlive the writer.
#ifndef PINWORTH_EXPLORER_REPORT_WRITER_H
#define PINWORTH_EXPLORER_REPORT_WRITER_H

#include "core/interfaces/InterfaceIdentity.h"
#include "lib/PinworthLib.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QWidget;

namespace explorer {

class InterfaceMenu;
class ReportForm;

class ReportWriter : public QObject {
  Q_OBJECT
public:
  ReportWriter(const InterfaceMenu &menu, const ReportForm &form,
               QWidget *window);

  // A report as the log records it.
  struct Sent {
    int32_t reportID; // kNoReportID in the short layout
    std::vector<uint8_t> data;
    core::InterfaceIdentity target;
    hid::ReportTime at{}; // when the device took it
  };
  // Checks the form and starts writing its report.
  void write();
  // Whether a report sent went out: called once, before send() returns
  // when a check failed, else from a later turn of the event loop.
  using Done = std::function<void(bool sent)>;
  // Sends data, led by reportID when there is one, to the selected
  // interface without waiting for the device.
  void send(std::optional<uint8_t> reportID, const std::vector<uint8_t> &data,
            Done done);
  // A write started and not yet answered.
  bool isWaiting() const { return waitingFor_.has_value(); }

signals:
  void sent(const ReportWriter::Sent &report);
  void refused(const QString &reason);

private:
  // Says so in an alert when no device is attached.
  bool devicePresent() const;
  // Says so in refused() while a write waits.
  bool mayWrite();
  void alert(const QString &title, const QString &message,
             const QString &reason = {}) const;
  void alertFailure(int32_t status) const;
  // Writes report to node's interface; done gets whether it went out.
  void start(const PinworthListNode &node, std::optional<uint8_t> reportID,
             const std::vector<uint8_t> &data, Done done);
  void answered(int32_t status, const Sent &report, const Done &done);
  // The log's record of data sent to the selected interface.
  Sent sentAs(std::optional<uint8_t> reportID,
              const std::vector<uint8_t> &data) const;

  const InterfaceMenu &menu_;
  const ReportForm &form_;
  QWidget *window_;
  std::optional<core::InterfaceIdentity>
      waitingFor_; // the target of that write
};

} // namespace explorer

#endif
