// A capture as Wireshark reads a capture of Linux usbmon: a pcapng file of
// link type 220 (LINKTYPE_USB_LINUX_MMAPPED), each record a USB transfer
// with its submission and completion, as the Pinworth devices carry them:
// an interface 1 report read as interrupt IN, an interface 0 report read as
// a GET_REPORT control transfer (the explorer polls it), a report written
// as interrupt OUT. Gaps and events are not transfers and are skipped.
//
// Wireshark decodes interrupt data as HID only when it saw the device's
// configuration and each interface's report descriptor asked for, so the
// file begins with those exchanges, made from the capture's interfaces, at
// the capture's start.
#ifndef PINWORTH_INTEROP_USBMON_PCAPNG_H
#define PINWORTH_INTEROP_USBMON_PCAPNG_H

#include "interop/ExportSink.h"
#include "interop/UsbDevices.h"

#include <array>
#include <string>
#include <vector>

namespace capture {
class CaptureReader;
}

namespace interop {

class ExportFile;

class UsbmonPcapng : public ExportSink {
public:
  // Both must outlive the sink.
  UsbmonPcapng(const capture::CaptureReader &reader, ExportFile &file);

  void begin() override;
  bool add(uint64_t i, const capture::Record &record) override;

private:
  using Setup = std::array<uint8_t, 8>;
  struct Event; // one usbmon event's header fields

  void writeBlock(uint32_t type, const std::string &body);
  void writeEvent(const Event &event, const uint8_t *data, size_t size);
  // A control transfer that reads answer, with its two events at timeUS.
  void controlIn(const UsbDevice &device, int64_t timeUS, const Setup &setup,
                 const std::vector<uint8_t> &answer);
  void interruptIn(const UsbDevice &device, int interfaceNumber, int64_t timeUS,
                   const std::vector<uint8_t> &report);
  void interruptOut(const UsbDevice &device, int interfaceNumber,
                    int64_t timeUS, const std::vector<uint8_t> &report);
  void describe(const UsbDevice &device);

  const capture::CaptureReader &reader_;
  ExportFile &file_;
  UsbDevices devices_;
  uint64_t nextUrb_ = 1;
  std::string scratch_;
};

} // namespace interop

#endif
