// The behaviour of one simulated Pinworth device: a small I/O controller with
// 32 pins on interface 0 and, on interface 1, an LCD (2x16 characters, driven
// through a character LCD controller) and an infrared receiver.
//
// Pure logic without timing or threads: the simulated backend feeds it the
// output reports it receives and delivers the input reports it returns.
#ifndef PINWORTH_SIM_VIRTUAL_PINWORTH_H
#define PINWORTH_SIM_VIRTUAL_PINWORTH_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hid::sim {

enum class Model { PinworthA, PinworthB };

// "PinworthA" or "PinworthB".
inline const char *ModelName(Model model) {
  return model == Model::PinworthA ? "PinworthA" : "PinworthB";
}

// A report the device sends on its own.
struct InputReport {
  int interfaceNumber; // 0 or 1
  std::vector<uint8_t> bytes;
};

class CharacterLcd;

class VirtualPinworth {
public:
  explicit VirtualPinworth(Model model);
  ~VirtualPinworth();
  VirtualPinworth(const VirtualPinworth &) = delete;
  VirtualPinworth &operator=(const VirtualPinworth &) = delete;

  Model model() const { return model_; }

  // Back to the state at power-up: latches high, LCD mode and infrared
  // reception off, the display controller reset. Pins pulled low from
  // outside stay pulled.
  void powerUp();

  // An output report arrived: interface 0 takes 4 port-latch bytes; interface
  // 1 takes 8 bytes, byte 0 the report ID. Shorter reports are padded with
  // zeros, longer ones cut. Returns what the device sends in answer.
  std::vector<InputReport>
  receiveOutputReport(int interfaceNumber, const uint8_t *bytes, size_t size);

  // The answer to a get-report request. Interface 0: the 4 pin-level bytes,
  // whatever the report ID. Interface 1: 8 bytes, the report ID, then zeros.
  std::vector<uint8_t> inputReport(int interfaceNumber, uint8_t reportID) const;

  // Pin 0..31 (port = pin / 8, bit = pin % 8). An external pull-down holds
  // the pin low whatever its latch. Returns the interface 0 input report when
  // the pin levels changed.
  std::vector<InputReport> setPinPulledLow(int pin, bool pulledLow);
  // A 32-bit word of pin levels, port 0 in the low byte: those a replay set
  // while it does, else the latches and pulls make.
  uint32_t pinLevels() const;
  // A replay of a capture holds the levels at those recorded (none: the
  // device's own again). Any thread; the latches and pulls stay as they are
  // under it.
  void setReplayedLevels(std::optional<uint32_t> levels);
  // What the host last wrote to port 0..3 (0xFF at power-up); 0 for
  // another port.
  uint8_t latch(int port) const;
  // Whether pin 0..31 is held low from outside; false for another pin.
  bool pinPulledLow(int pin) const;

  // A key of a remote control: while infrared reception is on, the device
  // sends 0x0C, address, command, zeros on interface 1.
  std::vector<InputReport> pressRemoteKey(uint8_t address, uint8_t command);

  bool lcdModeOn() const { return lcdMode_; }
  bool infraredOn() const { return infrared_; }
  // The 16 visible characters of display line 0 or 1.
  std::string displayLine(int line) const;
  // The display controller, for its on/off state and cursor.
  const CharacterLcd &display() const { return *lcd_; }

private:
  std::vector<InputReport> receiveSpecialFunction(const uint8_t report[8]);

  Model model_;
  uint8_t latches_[4];
  uint32_t pulledLow_ = 0;
  static constexpr int64_t kNotReplayed = -1;
  std::atomic<int64_t> replayedLevels_{kNotReplayed};
  bool lcdMode_ = false;
  bool infrared_ = false;
  std::unique_ptr<CharacterLcd> lcd_;
};

} // namespace hid::sim

#endif
