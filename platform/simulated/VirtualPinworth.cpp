#include "platform/simulated/VirtualPinworth.h"

#include "platform/PinworthProtocol.h"
#include "platform/simulated/CharacterLcd.h"

#include <algorithm>
#include <array>
#include <utility>

namespace hid::sim {

namespace {

using namespace pinworth;

constexpr size_t kPortCount = kInterface0ReportSize;
constexpr size_t kSpecialReportSize = kInterface1ReportSize;

// The report copied into a zeroed buffer of N bytes, cut after N.
template <size_t N>
std::array<uint8_t, N> padded(const uint8_t *bytes, size_t size) {
  std::array<uint8_t, N> report{};
  if (bytes != nullptr) {
    std::copy_n(bytes, std::min(size, N), report.begin());
  }
  return report;
}

size_t lcdCount(uint8_t control) {
  return std::min<size_t>(control & kLCDCountMask, kLCDMaxCount);
}

// A switch report's first data byte: 1 turns the function on, 0 off; any
// other value leaves it as it is.
void applySwitch(uint8_t value, bool &function) {
  if (value <= 1) {
    function = value == 1;
  }
}

// Sends the count of payload bytes the control byte gives to the
// controller's data or instruction register.
void writeToLCD(CharacterLcd &lcd, uint8_t control, const uint8_t *payload) {
  for (size_t i = 0; i < lcdCount(control); ++i) {
    if (control & kLCDDataRegister) {
      lcd.writeData(payload[i]);
    } else {
      lcd.writeInstruction(payload[i]);
    }
  }
}

// Reads what the control byte asks for; returns the 8-byte answer report.
std::vector<uint8_t> readFromLCD(CharacterLcd &lcd, uint8_t control) {
  std::vector<uint8_t> answer(kSpecialReportSize, 0);
  answer[0] = kLCDReadReport;
  answer[1] = control;
  for (size_t i = 0; i < lcdCount(control); ++i) {
    answer[2 + i] = (control & kLCDDataRegister) ? lcd.readData()
                                                 : lcd.readBusyFlagAndAddress();
  }
  return answer;
}

// The 4 pin-level bytes of a level word, port 0 first.
std::vector<uint8_t> pinBytes(uint32_t levels) {
  std::vector<uint8_t> bytes(kPortCount);
  for (size_t port = 0; port < kPortCount; ++port) {
    bytes[port] = static_cast<uint8_t>(levels >> (8 * port));
  }
  return bytes;
}

// The interface 0 input report when the pin levels changed.
std::vector<InputReport> pinReportIfChanged(uint32_t before, uint32_t after) {
  if (after == before) {
    return {};
  }
  return {{0, pinBytes(after)}};
}

} // namespace

VirtualPinworth::VirtualPinworth(Model model) : model_(model) {
  powerUp();
}

VirtualPinworth::~VirtualPinworth() = default;

void VirtualPinworth::powerUp() {
  std::fill(std::begin(latches_), std::end(latches_), 0xFF);
  lcdMode_ = false;
  infrared_ = false;
  lcd_ = std::make_unique<CharacterLcd>();
}

std::vector<InputReport>
VirtualPinworth::receiveOutputReport(int interfaceNumber, const uint8_t *bytes,
                                     size_t size) {
  if (interfaceNumber == 0) {
    const uint32_t levelsBefore = pinLevels();
    const auto latches = padded<kPortCount>(bytes, size);
    std::copy(latches.begin(), latches.end(), latches_);
    return pinReportIfChanged(levelsBefore, pinLevels());
  }
  if (interfaceNumber == 1) {
    return receiveSpecialFunction(
        padded<kSpecialReportSize>(bytes, size).data());
  }
  return {};
}

std::vector<uint8_t> VirtualPinworth::inputReport(int interfaceNumber,
                                                  uint8_t reportID) const {
  if (interfaceNumber == 0) {
    return pinBytes(pinLevels());
  }
  if (interfaceNumber == 1) {
    std::vector<uint8_t> report(kSpecialReportSize, 0);
    report[0] = reportID;
    return report;
  }
  return {};
}

std::vector<InputReport> VirtualPinworth::setPinPulledLow(int pin,
                                                          bool pulledLow) {
  if (pin < 0 || pin >= kPinCount) {
    return {};
  }
  const uint32_t levelsBefore = pinLevels();
  const uint32_t mask = uint32_t{1} << pin;
  pulledLow_ = pulledLow ? pulledLow_ | mask : pulledLow_ & ~mask;
  return pinReportIfChanged(levelsBefore, pinLevels());
}

uint32_t VirtualPinworth::pinLevels() const {
  if (const int64_t replayed = replayedLevels_.load(std::memory_order_relaxed);
      replayed != kNotReplayed)
    return uint32_t(replayed);
  uint32_t latchWord = 0;
  for (size_t port = 0; port < kPortCount; ++port) {
    latchWord |= uint32_t{latches_[port]} << (8 * port);
  }
  return latchWord & ~pulledLow_;
}

void VirtualPinworth::setReplayedLevels(std::optional<uint32_t> levels) {
  replayedLevels_.store(levels ? int64_t(*levels) : kNotReplayed,
                        std::memory_order_relaxed);
}

uint8_t VirtualPinworth::latch(int port) const {
  return port >= 0 && port < int(kPortCount) ? latches_[port] : 0;
}

bool VirtualPinworth::pinPulledLow(int pin) const {
  return pin >= 0 && pin < kPinCount && (pulledLow_ >> pin & 1);
}

std::vector<InputReport> VirtualPinworth::pressRemoteKey(uint8_t address,
                                                         uint8_t command) {
  if (!infrared_) {
    return {};
  }
  std::vector<uint8_t> report(kSpecialReportSize, 0);
  report[0] = kInfraredReport;
  report[1] = address;
  report[2] = command;
  return {{1, std::move(report)}};
}

std::string VirtualPinworth::displayLine(int line) const {
  return lcd_->visibleLine(line);
}

std::vector<InputReport>
VirtualPinworth::receiveSpecialFunction(const uint8_t report[8]) {
  const uint8_t control = report[1];
  const uint8_t *payload = report + 2;
  switch (report[0]) {
  case kLCDModeReport:
    applySwitch(control, lcdMode_);
    return {};
  case kInfraredReport:
    applySwitch(control, infrared_);
    return {};
  case kLCDWriteReport:
    if (lcdMode_) {
      writeToLCD(*lcd_, control, payload);
    }
    return {};
  case kLCDReadReport:
    if (lcdMode_) {
      return {{1, readFromLCD(*lcd_, control)}};
    }
    return {};
  default:
    return {};
  }
}

} // namespace hid::sim
