// Reads hid-recorder text: its devices (D:, R:, N:, P:, I:) and their
// reports (E:, and the "# W:" comments HidRecorderWriter writes for the
// reports written). A line that does not read as its kind says is skipped
// and counted; other comments and blank lines are skipped silently. Plain
// C++; never fails as a whole.
#ifndef PINWORTH_INTEROP_HID_RECORDER_READER_H
#define PINWORTH_INTEROP_HID_RECORDER_READER_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace interop {

struct HidRecordedDevice {
  std::vector<uint8_t> descriptor;
  std::string name;
  std::string path;
  int bus = -1;
  int vendorID = -1;
  int productID = -1;
};

struct HidRecordedReport {
  size_t device = 0;
  bool written = false;
  int64_t timeUS = 0;
  std::vector<uint8_t> bytes; // the report ID first, when it has one
};

struct HidRecording {
  std::vector<HidRecordedDevice> devices;
  std::vector<HidRecordedReport> reports;
  uint64_t linesSkipped = 0;
  uint64_t firstSkippedLine = 0; // 1-based; 0 when none was
};

inline constexpr size_t kMaxRecordedDevices = 256;

HidRecording ReadHidRecording(std::string_view text);

} // namespace interop

#endif
