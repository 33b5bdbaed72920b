// Interrupt reports numbered in their first four bytes, and a handler that
// records the numbers it is handed and the losses it is told of, for tests
// of bursts: which reports arrived, in which order, and how many were lost.
#ifndef PINWORTH_TEST_NUMBERED_REPORTS_H
#define PINWORTH_TEST_NUMBERED_REPORTS_H

#include "platform/HIDServices.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

// An 8-byte report numbered n.
inline std::vector<uint8_t> NumberedReport(uint32_t n) {
  std::vector<uint8_t> report(8);
  std::memcpy(report.data(), &n, sizeof n);
  return report;
}

struct Received {
  std::vector<uint32_t> numbers; // in the order they were delivered
  uint64_t lost = 0;
};

// An interrupt handler; its refcon is a Received.
inline void Receive(void *target, hid::Status result, void *refcon, void *,
                    uint32_t size) {
  auto *received = static_cast<Received *>(refcon);
  if (result == hid::kErrorOverrun) {
    received->lost += size;
    return;
  }
  uint32_t number = 0;
  std::memcpy(&number, target, std::min<uint32_t>(size, sizeof number));
  received->numbers.push_back(number);
}

#endif
