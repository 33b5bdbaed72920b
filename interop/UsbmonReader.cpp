#include "interop/UsbmonReader.h"

#include "interop/Usbmon.h"

#include <linux/hid.h>
#include <linux/usb/ch9.h>
#include <pcap/pcap.h>

#include <cstring>
#include <memory>

namespace interop {

namespace {

using namespace usbmon;

// The request types of the requests a HID interface is enumerated and read
// with.
constexpr uint8_t kToInterface = USB_TYPE_CLASS | USB_RECIP_INTERFACE;
constexpr uint8_t kFromInterface = USB_DIR_IN | kToInterface;
constexpr uint8_t kStandardFromDevice = USB_DIR_IN;
constexpr uint8_t kStandardFromInterface = USB_DIR_IN | USB_RECIP_INTERFACE;

// The header's fields, in the order and byte order libpcap hands them.
struct Header {
  uint64_t urb;
  char type;
  uint8_t transfer;
  uint8_t endpoint;
  uint8_t address;
  uint16_t bus;
  char setupFlag;
  char dataFlag;
  uint32_t lengthCaptured;
  std::array<uint8_t, 8> setup;
};

template <typename T> T At(const uint8_t *bytes, size_t offset) {
  T value;
  std::memcpy(&value, bytes + offset, sizeof value);
  return value;
}

Header ReadHeader(const uint8_t *bytes) {
  Header header;
  header.urb = At<uint64_t>(bytes, 0);
  header.type = char(bytes[8]);
  header.transfer = bytes[9];
  header.endpoint = bytes[10];
  header.address = bytes[11];
  header.bus = At<uint16_t>(bytes, 12);
  header.setupFlag = char(bytes[14]);
  header.dataFlag = char(bytes[15]);
  header.lengthCaptured = At<uint32_t>(bytes, 36);
  std::memcpy(header.setup.data(), bytes + 40, header.setup.size());
  return header;
}

class Reader {
public:
  explicit Reader(size_t headerSize) : headerSize_(headerSize) {}

  void add(const pcap_pkthdr &packet, const uint8_t *bytes) {
    if (packet.caplen < headerSize_) {
      ++recording_.skipped;
      return;
    }
    // Wrapping, not overflowing, on the times of a corrupt file.
    const int64_t unixUS = int64_t(uint64_t(packet.ts.tv_sec) * 1000000 +
                                   uint64_t(packet.ts.tv_usec));
    if (!recording_.firstUnixUS)
      recording_.firstUnixUS = unixUS;
    const Header header = ReadHeader(bytes);
    const size_t available = packet.caplen - headerSize_;
    const std::vector<uint8_t> data(
        bytes + headerSize_,
        bytes + headerSize_ +
            std::min<size_t>(header.lengthCaptured, available));
    const size_t device = deviceOf(header.bus, header.address);
    if (!(header.transfer == kControl
              ? control(header, device, data, unixUS)
              : header.transfer == kInterrupt &&
                    interrupt(header, device, data, unixUS)))
      ++recording_.skipped;
  }

  UsbmonRecording take() { return std::move(recording_); }

private:
  struct Request {
    size_t device;
    std::array<uint8_t, 8> setup;
  };

  bool interrupt(const Header &header, size_t device,
                 const std::vector<uint8_t> &data, int64_t unixUS) {
    const bool in = header.endpoint & 0x80;
    // Endpoint 0 is always the control endpoint: an interrupt transfer on it
    // is a corrupt packet.
    if (data.empty() || (header.endpoint & 0x0f) == 0 ||
        in != (header.type == 'C'))
      return false;
    const auto &endpoints = recording_.devices[device].interfaceOfEndpoint;
    const auto found = endpoints.find(header.endpoint);
    const int number = found != endpoints.end() ? found->second : -1;
    if (number > 1)
      return false;
    recording_.reports.push_back(
        {device, number, header.endpoint, !in, unixUS, data});
    return true;
  }

  bool control(const Header &header, size_t device,
               const std::vector<uint8_t> &data, int64_t unixUS) {
    if (header.type == 'S' && header.setupFlag == 0) {
      requests_[header.urb] = {device, header.setup};
      const auto &setup = header.setup;
      if (setup[0] == kToInterface && setup[1] == HID_REQ_SET_REPORT &&
          !data.empty() && setup[4] < 2)
        recording_.reports.push_back({device, setup[4], 0, true, unixUS, data});
      return true;
    }
    const auto found = requests_.find(header.urb);
    if (header.type != 'C' || found == requests_.end() ||
        found->second.device != device)
      return false;
    const std::array<uint8_t, 8> setup = found->second.setup;
    requests_.erase(found);
    UsbmonDevice &seen = recording_.devices[device];
    const uint8_t type = setup[3], index = setup[2], interface = setup[4];
    const bool getDescriptor = setup[1] == USB_REQ_GET_DESCRIPTOR;
    if (setup[0] == kFromInterface && setup[1] == HID_REQ_GET_REPORT &&
        interface < 2 && !data.empty()) {
      recording_.reports.push_back({device, interface, 0, false, unixUS, data});
    } else if (setup[0] == kStandardFromDevice && getDescriptor &&
               type == USB_DT_DEVICE && data.size() >= 17) {
      seen.vendorID = data[8] | data[9] << 8;
      seen.productID = data[10] | data[11] << 8;
      seen.serialIndex = data[16];
    } else if (setup[0] == kStandardFromDevice && getDescriptor &&
               type == USB_DT_CONFIG) {
      readConfiguration(seen, data);
    } else if (setup[0] == kStandardFromDevice && getDescriptor &&
               type == USB_DT_STRING && index != 0 &&
               index == seen.serialIndex) {
      seen.serialNumber = SerialNumber(data);
    } else if (setup[0] == kStandardFromInterface && getDescriptor &&
               type == HID_DT_REPORT && interface < 2) {
      seen.reportDescriptors[interface] = data;
    }
    return true;
  }

  static void readConfiguration(UsbmonDevice &device,
                                const std::vector<uint8_t> &data) {
    int interface = -1;
    for (size_t at = 0; at + 2 <= data.size() && data[at] >= 2;
         at += data[at]) {
      if (data[at + 1] == USB_DT_INTERFACE && at + 2 < data.size())
        interface = data[at + 2];
      else if (data[at + 1] == USB_DT_ENDPOINT && at + 2 < data.size() &&
               interface >= 0)
        device.interfaceOfEndpoint[data[at + 2]] = interface;
    }
  }

  // A string descriptor of decimal digits as a number.
  static std::optional<int32_t> SerialNumber(const std::vector<uint8_t> &data) {
    if (data.size() < 4 || data.size() > 2 + 2 * 9)
      return std::nullopt;
    int32_t number = 0;
    for (size_t at = 2; at + 1 < data.size(); at += 2) {
      if (data[at] < '0' || data[at] > '9' || data[at + 1] != 0)
        return std::nullopt;
      number = number * 10 + (data[at] - '0');
    }
    return number;
  }

  size_t deviceOf(uint16_t bus, uint8_t address) {
    const auto found = devices_.find({bus, address});
    if (found != devices_.end())
      return found->second;
    UsbmonDevice device;
    device.bus = bus;
    device.address = address;
    recording_.devices.push_back(device);
    return devices_[{bus, address}] = recording_.devices.size() - 1;
  }

  const size_t headerSize_;
  UsbmonRecording recording_;
  std::map<std::pair<uint16_t, uint8_t>, size_t> devices_;
  std::map<uint64_t, Request> requests_; // control transfers in flight
};

} // namespace

std::optional<UsbmonRecording> ReadUsbmon(std::FILE *file, std::string *error) {
  char pcapError[PCAP_ERRBUF_SIZE] = {};
  const std::unique_ptr<pcap_t, decltype(&pcap_close)> pcap(
      pcap_fopen_offline(file, pcapError), &pcap_close);
  if (!pcap) {
    std::fclose(file);
    *error = pcapError;
    return std::nullopt;
  }
  const int linkType = pcap_datalink(pcap.get());
  if (linkType != kLinkTypeUsbLinux && linkType != kLinkTypeUsbLinuxMmapped) {
    *error = "it is not a capture of USB on Linux (usbmon)";
    return std::nullopt;
  }
  Reader reader(linkType == kLinkTypeUsbLinux ? kHeaderSize
                                              : kMmappedHeaderSize);
  pcap_pkthdr *packet = nullptr;
  const uint8_t *bytes = nullptr;
  while (pcap_next_ex(pcap.get(), &packet, &bytes) == 1)
    reader.add(*packet, bytes);
  // A file cut short ends it as the end of the file does.
  return reader.take();
}

} // namespace interop
