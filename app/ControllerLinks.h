// The window's target and log, as the device area takes them, over the
// window's controller: what its interface menu selects, its reading, its
// writer and its log. The window's assembly makes them after the
// controller, which outlives them.
//
// Main thread only.
#ifndef PINWORTH_EXPLORER_CONTROLLER_LINKS_H
#define PINWORTH_EXPLORER_CONTROLLER_LINKS_H

#include "app/device/WindowLog.h"
#include "app/device/WindowTarget.h"

namespace explorer {

class PinworthWindowController;

class ControllerTarget final : public WindowTarget {
public:
  explicit ControllerTarget(PinworthWindowController &controller);

  std::optional<core::InterfaceIdentity> selected() const override;
  int selectedPosition() const override;
  std::optional<core::InterfaceIdentity> missing() const override;
  bool blocked() const override;
  bool isListening(const core::InterfaceIdentity &source) const override;
  void send(std::optional<uint8_t> reportID, const std::vector<uint8_t> &data,
            Done done) override;

private:
  PinworthWindowController &controller_;
};

class ControllerLog final : public WindowLog {
public:
  explicit ControllerLog(PinworthWindowController &controller);

  void append(const QString &direction, int reportID, int size,
              const uint8_t *data, const core::InterfaceIdentity &source,
              hid::ReportTime at) override;
  const LogTableModel &model() const override;
  QWidget &view() const override;
  QList<int> selectedReports() const override;

private:
  PinworthWindowController &controller_;
};

} // namespace explorer

#endif
