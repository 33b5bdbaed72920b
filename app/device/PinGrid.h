// The pin grid of the device area, for an interface 0: its 32 pins as four
// ports of eight, numbered as the log's decoder numbers them
// (core/reports/ReportDecoder.h). Each pin shows its latch, what the window
// last wrote to the interface (high, as at power-up, until it writes, and again
// once its device has left), and its level, what was last read from it
// ("?" until a read); a pin whose level is not its latch is marked. The
// grid follows the window's log, so it follows the form's writes and
// polling live. Clicking a pin toggles its latch: the 4-byte report of the
// latches with only that one changed goes out through the target writer.
//
// Main thread only; the writer outlives the grid.
#ifndef PINWORTH_EXPLORER_PIN_GRID_H
#define PINWORTH_EXPLORER_PIN_GRID_H

#include "core/interfaces/InterfaceIdentity.h"
#include "core/reports/ReportDecoder.h"

#include <QGroupBox>
#include <QHash>

#include <array>
#include <optional>

class QToolButton;

namespace explorer {

class TargetWriter;

class PinGrid : public QGroupBox {
  Q_OBJECT
public:
  static constexpr int kPins = core::kPinPorts * core::kPinsPerPort;

  explicit PinGrid(const TargetWriter &writer, QWidget *parent = nullptr);

  // The interface the grid shows, and whether a click may send: not while
  // the target is unplugged.
  void setTarget(const std::optional<core::InterfaceIdentity> &target,
                 bool canSend);
  // A report of the window's log: an interface 0 report written sets the
  // latches of its source, one read sets its levels.
  void reportLogged(bool isOutput, int reportID, int size, const uint8_t *data,
                    const std::optional<core::InterfaceIdentity> &source);
  // The pins in tab order, pin 0 first.
  QList<QWidget *> tabOrder() const;

private:
  using Ports = std::array<uint8_t, core::kPinPorts>;
  struct Pins {
    Ports latches{0xFF, 0xFF, 0xFF, 0xFF};
    std::optional<Ports> levels;
  };

  void toggleLatch(int pin);
  void refresh();

  const TargetWriter &writer_;
  std::optional<core::InterfaceIdentity> target_;
  QHash<core::InterfaceIdentity, Pins> known_; // of the interfaces listed
  std::array<QToolButton *, kPins> buttons_{};
};

} // namespace explorer

#endif
