// The built-in macros: reports for the special functions of an interface 1,
// registered as the default of the macro list, in the order the macro menu
// shows them. The first five drive the display: mode on, initialise, write
// "Test", back to the first position, read 4 characters.
#ifndef PINWORTH_EXPLORER_DEFAULT_MACROS_H
#define PINWORTH_EXPLORER_DEFAULT_MACROS_H

#include <array>
#include <cstdint>

namespace core {

inline constexpr int kDefaultMacroDataBytes = 7;

struct DefaultMacro {
  const char *name;
  int reportID;
  std::array<uint8_t, kDefaultMacroDataBytes> data;
};

enum DefaultMacroIndex {
  kEnableLCDModeMacro,
  kInitDisplayMacro,
  kWriteToDisplayMacro,
  kMoveToFirstLCDPositionMacro,
  kReadFromLCDMacro,
  kEnableInfraredMacro,
  kDefaultMacroCount
};

inline constexpr std::array<DefaultMacro, kDefaultMacroCount>
    kDefaultMacroTable = {{
        {"Enable LCD Mode", 0x04, {0x01}},
        {"Init display", 0x05, {0x03, 0x38, 0x01, 0x0F}},
        {"Write to display", 0x05, {0x84, 0x54, 0x65, 0x73, 0x74}},
        {"Move to first LCD pos.", 0x05, {0x01, 0x80}},
        {"Read 4 bytes from LCD", 0x06, {0x84}},
        {"Enable Infra red reception (Pinworth B)", 0x0C, {0x01}},
    }};

} // namespace core

#endif
