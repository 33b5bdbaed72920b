#include "platform/simulated/CharacterLcd.h"

#include "platform/PinworthProtocol.h"

namespace hid::sim {

using namespace pinworth::lcd_instruction;

namespace {

constexpr uint8_t kSpace = 0x20;
constexpr uint8_t kSecondLineFlag = 0x40;
constexpr uint8_t kColumnMask = 0x3F;

} // namespace

CharacterLcd::CharacterLcd() {
  displayRAM_.fill(kSpace);
}

void CharacterLcd::writeInstruction(uint8_t instruction) {
  if (instruction & kSetDisplayAddress) {
    setDisplayAddress(instruction & ~kSetDisplayAddress);
  } else if (instruction & kSetCharacterAddress) {
    address_ = instruction & (kCharacterRAMSize - 1);
    addressInCharacterRAM_ = true;
  } else if (instruction & kFunctionSet) {
    // The display is wired as two lines of 5x8 dots on an 8-bit bus; the
    // interface width, line count and font settings change nothing.
  } else if (instruction & kCursorOrDisplayShift) {
    const bool right = instruction & kToTheRight;
    if (instruction & kShiftDisplay) {
      shiftDisplay(!right);
    } else {
      stepAddress(right);
    }
  } else if (instruction & kDisplayControl) {
    displayOn_ = instruction & kDisplayOn;
    cursorOn_ = instruction & kCursorOn;
    cursorBlinks_ = instruction & kBlinkOn;
  } else if (instruction & kEntryModeSet) {
    increment_ = instruction & kIncrement;
    shiftOnWrite_ = instruction & kShiftOnWrite;
  } else if (instruction & kReturnHome) {
    setDisplayAddress(0);
    shiftOffset_ = 0;
  } else if (instruction & kClearDisplay) {
    displayRAM_.fill(kSpace);
    setDisplayAddress(0);
    shiftOffset_ = 0;
    increment_ = true;
  }
}

void CharacterLcd::writeData(uint8_t data) {
  cellAtAddress() = data;
  const bool toDisplayRAM = !addressInCharacterRAM_;
  stepAddress(increment_);
  if (toDisplayRAM && shiftOnWrite_) {
    shiftDisplay(increment_);
  }
}

uint8_t CharacterLcd::readData() {
  const uint8_t data = cellAtAddress();
  stepAddress(increment_);
  return data;
}

uint8_t CharacterLcd::readBusyFlagAndAddress() const {
  return address_;
}

std::string CharacterLcd::visibleLine(int line) const {
  if (line != 0 && line != 1) {
    return {};
  }
  std::string text(kVisibleColumns, static_cast<char>(kSpace));
  if (displayOn_) {
    for (int position = 0; position < kVisibleColumns; ++position) {
      const int column = (shiftOffset_ + position) % kLineCells;
      text[position] =
          static_cast<char>(displayRAM_[line * kLineCells + column]);
    }
  }
  return text;
}

std::optional<CharacterLcd::Position> CharacterLcd::cursorInView() const {
  if (addressInCharacterRAM_) {
    return std::nullopt;
  }
  const int line = (address_ & kSecondLineFlag) ? 1 : 0;
  const int cell = address_ & kColumnMask;
  const int column = (cell - shiftOffset_ + kLineCells) % kLineCells;
  if (column >= kVisibleColumns) {
    return std::nullopt;
  }
  return Position{line, column};
}

// Addresses beyond a line's 40 cells (0x28-0x3F, 0x68-0x7F) are taken
// modulo 40 within their line.
void CharacterLcd::setDisplayAddress(uint8_t address) {
  const uint8_t column = (address & kColumnMask) % kLineCells;
  address_ = (address & kSecondLineFlag) | column;
  addressInCharacterRAM_ = false;
}

// Display RAM runs on from the end of line 0 to line 1 and from the end of
// line 1 back to line 0, in both directions; character RAM wraps at 64.
void CharacterLcd::stepAddress(bool forward) {
  if (addressInCharacterRAM_) {
    address_ = (address_ + (forward ? 1 : -1)) & (kCharacterRAMSize - 1);
    return;
  }
  const uint8_t otherLine = (address_ & kSecondLineFlag) ^ kSecondLineFlag;
  const int column = address_ & kColumnMask;
  if (forward) {
    address_ = column == kLineCells - 1 ? otherLine : address_ + 1;
  } else {
    address_ = column == 0 ? otherLine | (kLineCells - 1) : address_ - 1;
  }
}

// Both lines move together: shifting left brings the next column into view.
void CharacterLcd::shiftDisplay(bool left) {
  shiftOffset_ = (shiftOffset_ + (left ? 1 : kLineCells - 1)) % kLineCells;
}

uint8_t &CharacterLcd::cellAtAddress() {
  if (addressInCharacterRAM_) {
    return characterRAM_[address_];
  }
  const int line = (address_ & kSecondLineFlag) ? 1 : 0;
  return displayRAM_[line * kLineCells + (address_ & kColumnMask)];
}

} // namespace hid::sim
