#include "interop/UsbmonPcapng.h"

#include "capture/CaptureReader.h"
#include "interop/ExportFile.h"
#include "interop/Usbmon.h"

#include <linux/hid.h>
#include <linux/usb/ch9.h>

#include <cerrno>

namespace interop {

namespace {

constexpr uint32_t kSectionHeaderBlock = 0x0A0D0D0A;
constexpr uint32_t kInterfaceDescriptionBlock = 1;
constexpr uint32_t kEnhancedPacketBlock = 6;

using namespace usbmon;

// A GET_REPORT's report type (the high byte of its value): 1 for input.
constexpr uint8_t kInputReport = HID_INPUT_REPORT + 1;

void Put16(std::string &bytes, uint16_t value) {
  bytes += char(value);
  bytes += char(value >> 8);
}

void Put32(std::string &bytes, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    bytes += char(value >> shift);
}

void Put64(std::string &bytes, uint64_t value) {
  Put32(bytes, uint32_t(value));
  Put32(bytes, uint32_t(value >> 32));
}

void PadTo32Bits(std::string &bytes) {
  bytes.append((4 - bytes.size() % 4) % 4, '\0');
}

// A pcapng option: code, length, value padded to 32 bits.
void PutOption(std::string &bytes, uint16_t code, const std::string &value) {
  Put16(bytes, code);
  Put16(bytes, uint16_t(value.size()));
  bytes += value;
  PadTo32Bits(bytes);
}

std::vector<uint8_t> ReportBytes(const capture::Record &record) {
  const size_t offset = record.hasReportID ? 1 : 0;
  std::vector<uint8_t> bytes(offset + record.size);
  if (record.hasReportID)
    bytes[0] = record.reportID;
  for (size_t i = 0; i < record.size; ++i)
    bytes[offset + i] = record.data[i];
  return bytes;
}

} // namespace

struct UsbmonPcapng::Event {
  uint64_t urb = 0;
  char type = 'S'; // 'S' submission, 'C' completion
  uint8_t transfer = kControl;
  uint8_t endpoint = 0;
  const UsbDevice *device = nullptr;
  bool hasSetup = false;
  char dataFlag = 0; // 0: data follows; '<' or '>': none
  int64_t timeUS = 0;
  uint32_t length = 0;
  Setup setup{};
};

UsbmonPcapng::UsbmonPcapng(const capture::CaptureReader &reader,
                           ExportFile &file)
    : reader_(reader), file_(file), devices_(reader.interfaces()) {}

void UsbmonPcapng::begin() {
  std::string section;
  Put32(section, 0x1A2B3C4D); // byte-order magic
  Put16(section, 1);
  Put16(section, 0);
  Put64(section, uint64_t(-1));               // section length not given
  PutOption(section, 4, "Pinworth Explorer"); // shb_userappl
  PutOption(section, 0, {});
  writeBlock(kSectionHeaderBlock, section);

  std::string interface;
  Put16(interface, uint16_t(kLinkTypeUsbLinuxMmapped));
  Put16(interface, 0);
  Put32(interface, 0);                // no snapshot length
  PutOption(interface, 2, "usbmon0"); // if_name: every bus
  PutOption(interface, 9, "\x06");    // if_tsresol: microseconds
  PutOption(interface, 0, {});
  writeBlock(kInterfaceDescriptionBlock, interface);

  for (const UsbDevice &device : devices_.devices())
    describe(device);
}

bool UsbmonPcapng::add(uint64_t, const capture::Record &record) {
  const bool written = record.kind == capture::RecordKind::Written;
  if (!written && record.kind != capture::RecordKind::Read)
    return false;
  const UsbDevice *device = devices_.deviceOfSource(record.source);
  if (!device)
    return false;
  const int number = device->sources[0] == record.source ? 0 : 1;
  const std::vector<uint8_t> report = ReportBytes(record);
  if (written) {
    interruptOut(*device, number, record.timeUS, report);
  } else if (number == 1) {
    interruptIn(*device, number, record.timeUS, report);
  } else {
    const Setup setup = {USB_DIR_IN | USB_TYPE_CLASS | USB_RECIP_INTERFACE,
                         HID_REQ_GET_REPORT,
                         record.reportID,
                         kInputReport,
                         uint8_t(number),
                         0,
                         uint8_t(report.size()),
                         0};
    controlIn(*device, record.timeUS, setup, report);
  }
  return true;
}

void UsbmonPcapng::describe(const UsbDevice &device) {
  const auto getDescriptor = [&](uint8_t requestType, uint8_t type,
                                 uint8_t index, uint16_t language,
                                 const std::vector<uint8_t> &answer) {
    const uint16_t asked =
        type == USB_DT_STRING ? 255 : uint16_t(answer.size());
    controlIn(device, 0,
              {requestType, USB_REQ_GET_DESCRIPTOR, index, type,
               uint8_t(language), uint8_t(language >> 8), uint8_t(asked),
               uint8_t(asked >> 8)},
              answer);
  };
  getDescriptor(USB_DIR_IN, USB_DT_DEVICE, 0, 0, device.deviceDescriptor());
  getDescriptor(USB_DIR_IN, USB_DT_CONFIG, 0, 0,
                device.configurationDescriptor());
  getDescriptor(USB_DIR_IN, USB_DT_STRING, 0, 0,
                UsbDevice::languagesDescriptor());
  getDescriptor(USB_DIR_IN, USB_DT_STRING, 3, 0x0409,
                device.serialNumberDescriptor());
  for (int number = 0; number < kInterfacesPerDevice; ++number)
    getDescriptor(USB_DIR_IN | USB_RECIP_INTERFACE, HID_DT_REPORT, 0,
                  uint16_t(number), device.reportDescriptors[size_t(number)]);
}

void UsbmonPcapng::controlIn(const UsbDevice &device, int64_t timeUS,
                             const Setup &setup,
                             const std::vector<uint8_t> &answer) {
  Event event{.urb = nextUrb_++,
              .transfer = kControl,
              .endpoint = 0x80,
              .device = &device,
              .hasSetup = true,
              .dataFlag = '<',
              .timeUS = timeUS,
              .length = uint32_t(setup[6] | setup[7] << 8),
              .setup = setup};
  writeEvent(event, nullptr, 0);
  event.type = 'C';
  event.hasSetup = false;
  event.setup = {};
  event.dataFlag = 0;
  event.length = uint32_t(answer.size());
  writeEvent(event, answer.data(), answer.size());
}

void UsbmonPcapng::interruptIn(const UsbDevice &device, int interfaceNumber,
                               int64_t timeUS,
                               const std::vector<uint8_t> &report) {
  Event event{.urb = nextUrb_++,
              .transfer = kInterrupt,
              .endpoint = InEndpointOf(interfaceNumber),
              .device = &device,
              .dataFlag = '<',
              .timeUS = timeUS,
              .length = kEndpointMaxPacket};
  writeEvent(event, nullptr, 0);
  event.type = 'C';
  event.dataFlag = 0;
  event.length = uint32_t(report.size());
  writeEvent(event, report.data(), report.size());
}

void UsbmonPcapng::interruptOut(const UsbDevice &device, int interfaceNumber,
                                int64_t timeUS,
                                const std::vector<uint8_t> &report) {
  Event event{.urb = nextUrb_++,
              .transfer = kInterrupt,
              .endpoint = OutEndpointOf(interfaceNumber),
              .device = &device,
              .timeUS = timeUS,
              .length = uint32_t(report.size())};
  writeEvent(event, report.data(), report.size());
  event.type = 'C';
  event.dataFlag = '>';
  writeEvent(event, nullptr, 0);
}

// The header is struct usbmon_packet of the kernel's usbmon documentation,
// in the byte order of the section (little-endian).
void UsbmonPcapng::writeEvent(const Event &event, const uint8_t *data,
                              size_t size) {
  const int64_t unixUS = TimeSum(reader_.header().startUnixUS, event.timeUS);
  const uint32_t captured = uint32_t(kMmappedHeaderSize + size);
  std::string &body = scratch_; // reused: an export writes millions
  body.clear();
  Put32(body, 0); // interface 0
  Put32(body, uint32_t(uint64_t(unixUS) >> 32));
  Put32(body, uint32_t(unixUS));
  Put32(body, captured);
  Put32(body, captured);
  Put64(body, event.urb);
  body += event.type;
  body += char(event.transfer);
  body += char(event.endpoint);
  body += char(event.device->address);
  Put16(body, event.device->bus);
  body += event.hasSetup ? '\0' : '-';
  body += event.dataFlag;
  Put64(body, uint64_t(unixUS / 1000000));
  Put32(body, uint32_t(unixUS % 1000000));
  Put32(body, uint32_t(event.type == 'S' ? -EINPROGRESS : 0));
  Put32(body, event.length);
  Put32(body, uint32_t(size));
  body.append(reinterpret_cast<const char *>(event.setup.data()),
              event.setup.size());
  Put32(body, event.transfer == kInterrupt ? 1 : 0); // interval
  Put32(body, 0);                                    // start frame
  Put32(body, 0);                                    // transfer flags
  Put32(body, 0);                                    // ISO descriptors
  if (size > 0)
    body.append(reinterpret_cast<const char *>(data), size);
  PadTo32Bits(body);
  writeBlock(kEnhancedPacketBlock, body);
}

void UsbmonPcapng::writeBlock(uint32_t type, const std::string &body) {
  std::string ends;
  const uint32_t total = uint32_t(12 + body.size());
  Put32(ends, type);
  Put32(ends, total);
  file_.append(ends);
  file_.append(body);
  file_.append(ends.substr(4));
}

} // namespace interop
