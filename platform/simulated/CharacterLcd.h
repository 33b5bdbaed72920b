// A character LCD controller wired to a display of two lines of 16
// characters. The controller takes whole bytes (an 8-bit bus) and is never
// busy.
#ifndef PINWORTH_SIM_CHARACTER_LCD_H
#define PINWORTH_SIM_CHARACTER_LCD_H

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace hid::sim {

class CharacterLcd {
public:
  static constexpr int kVisibleColumns = 16;

  // The power-up state: display RAM all spaces, display, cursor and blinking
  // off, address counter at display RAM 0x00, entry mode increment without
  // display shift.
  CharacterLcd();

  void writeInstruction(uint8_t instruction);
  // Writes to display or character RAM at the address counter, then steps
  // the counter; the display shifts too when the entry mode asks for it and
  // the write went to display RAM.
  void writeData(uint8_t data);
  // The byte of display or character RAM at the address counter; then steps
  // the counter. Reading never shifts the display.
  uint8_t readData();
  // Busy flag (bit 7, always clear) and the address counter (bits 0-6).
  uint8_t readBusyFlagAndAddress() const;

  // The 16 character codes that line 0 or 1 shows now: from the display
  // shift offset on, all spaces while the display is off. Empty for another
  // line number.
  std::string visibleLine(int line) const;
  bool displayOn() const { return displayOn_; }
  bool cursorOn() const { return cursorOn_; }
  bool cursorBlinks() const { return cursorBlinks_; }

  // A character position of the display: line 0 or 1, column 0-15 from the
  // left edge.
  struct Position {
    int line;
    int column;
    bool operator==(const Position &) const = default;
  };
  // Where the address counter points when that cell of display RAM is in
  // view (whatever the display and cursor settings); none when it points
  // into character RAM or at a cell shifted out of view.
  std::optional<Position> cursorInView() const;

private:
  static constexpr int kLineCells = 40;
  static constexpr int kCharacterRAMSize = 64;

  void setDisplayAddress(uint8_t address);
  void stepAddress(bool forward);
  void shiftDisplay(bool left);
  uint8_t &cellAtAddress();

  // Line 0 in cells 0-39, line 1 in cells 40-79.
  std::array<uint8_t, 2 * kLineCells> displayRAM_;
  std::array<uint8_t, kCharacterRAMSize> characterRAM_{};
  // 0x00-0x27 or 0x40-0x67 for display RAM, 0x00-0x3F for character RAM.
  uint8_t address_ = 0;
  bool addressInCharacterRAM_ = false;
  bool increment_ = true;
  bool shiftOnWrite_ = false;
  bool displayOn_ = false;
  bool cursorOn_ = false;
  bool cursorBlinks_ = false;
  // The line column shown in the leftmost position, 0-39.
  int shiftOffset_ = 0;
};

} // namespace hid::sim

#endif
