// The keys of the simulated infrared remote control and the command each
// sends.
#ifndef PINWORTH_SIMULATOR_REMOTE_KEYS_H
#define PINWORTH_SIMULATOR_REMOTE_KEYS_H

#include <cstdint>

namespace simulator {

struct RemoteKey {
  const char *label;
  uint8_t command;
  int row; // place on the keypad
  int column;
};

// Digits 0-9 send commands 0x00-0x09; the others 0x10 and up.
inline constexpr RemoteKey kRemoteKeys[] = {
    {"Power", 0x15, 0, 0}, {"Vol+", 0x16, 0, 1}, {"Ch+", 0x18, 0, 2},
    {"1", 0x01, 1, 0},     {"2", 0x02, 1, 1},    {"3", 0x03, 1, 2},
    {"4", 0x04, 2, 0},     {"5", 0x05, 2, 1},    {"6", 0x06, 2, 2},
    {"7", 0x07, 3, 0},     {"8", 0x08, 3, 1},    {"9", 0x09, 3, 2},
    {"Vol-", 0x17, 4, 0},  {"0", 0x00, 4, 1},    {"Ch-", 0x19, 4, 2},
    {"Up", 0x10, 0, 4},    {"Left", 0x12, 1, 3}, {"OK", 0x14, 1, 4},
    {"Right", 0x13, 1, 5}, {"Down", 0x11, 2, 4},
};

} // namespace simulator

#endif
