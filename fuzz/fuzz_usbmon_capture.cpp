// A usbmon capture (pcap or pcapng) on any bytes, read through libpcap:
// refused with a reason, or read with every report on a device the
// recording has, with its bytes, on interface 0 or 1 or, for an interrupt
// endpoint the capture does not enumerate, on none (-1).
#include "fuzz/FuzzCheck.h"
#include "interop/UsbmonReader.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0)
    return 0;
  std::FILE *file = fmemopen(const_cast<uint8_t *>(data), size, "rb");
  if (!file)
    return 0;
  std::string reason;
  const std::optional<interop::UsbmonRecording> recording =
      interop::ReadUsbmon(file, &reason);
  if (!recording) {
    FUZZ_CHECK(!reason.empty());
    return 0;
  }
  for (const interop::UsbmonReport &report : recording->reports) {
    FUZZ_CHECK(report.device < recording->devices.size());
    if (report.interfaceNumber == -1)
      FUZZ_CHECK((report.endpoint & 0x0f) != 0);
    else
      FUZZ_CHECK(report.interfaceNumber == 0 || report.interfaceNumber == 1);
    FUZZ_CHECK(!report.bytes.empty());
  }
  return 0;
}
