// Interrupt reports numbered in the four bytes after their report ID (one a
// Pinworth declares as input, which a kernel lets through), and a handler that
// records the numbers it is handed and the losses it is told of, for tests
// of bursts: which reports arrived, in which order, and how many were lost.
#ifndef PINWORTH_TEST_NUMBERED_REPORTS_H
#define PINWORTH_TEST_NUMBERED_REPORTS_H

#include "platform/HIDServices.h"
#include "platform/PinworthProtocol.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

// An 8-byte report numbered n.
inline std::vector<uint8_t> NumberedReport(uint32_t n) {
  std::vector<uint8_t> report(8);
  report[0] = pinworth::kInfraredReport;
  std::memcpy(report.data() + 1, &n, sizeof n);
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
  if (size > 1)
    std::memcpy(&number, static_cast<const uint8_t *>(target) + 1,
                std::min<uint32_t>(size - 1, sizeof number));
  received->numbers.push_back(number);
}

#endif
