// hid-recorder text on any bytes: every report names a device the
// recording has, no more devices than the reader allows, no time before
// zero; each line is read, skipped or counted, never more than there are.
#include "fuzz/FuzzCheck.h"
#include "interop/HidRecorderReader.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string_view text(reinterpret_cast<const char *>(data), size);
  const interop::HidRecording recording = interop::ReadHidRecording(text);
  const uint64_t lines = uint64_t(std::count(text.begin(), text.end(), '\n')) +
                         (text.empty() || text.back() == '\n' ? 0 : 1);
  FUZZ_CHECK(recording.devices.size() <= interop::kMaxRecordedDevices);
  FUZZ_CHECK(recording.reports.size() + recording.linesSkipped <= lines);
  FUZZ_CHECK((recording.linesSkipped == 0) ==
             (recording.firstSkippedLine == 0));
  FUZZ_CHECK(recording.firstSkippedLine <= lines);
  for (const interop::HidRecordedReport &report : recording.reports) {
    FUZZ_CHECK(report.device < recording.devices.size());
    FUZZ_CHECK(report.timeUS >= 0);
  }
  return 0;
}
