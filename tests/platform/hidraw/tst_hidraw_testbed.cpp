// The emulated hidraw nodes against the kernel's hidraw driver: a queue of at
// most 63 reports per open file, short requests refused, input reports by
// report number. And against hidapi, which reads sysfs its own way: it finds
// the interfaces the library finds and moves the bytes the kernel would. How
// each open file gets its own reports is the interrupt contract's to check
// (tests/platform/tst_interrupt_contract.cpp), on this testbed too.
#include "tests/platform/hidraw/HidrawLibrary.h"

#include <QTest>

#include <hidapi/hidapi.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr uint16_t kA = kPinworthAProductID;
constexpr uint16_t kB = kPinworthBProductID;

// A new client of node. umockdev has taken it in once it answered an ioctl:
// reports sent from then on reach it.
int OpenClient(FakeHidrawNode &node) {
  int fd = open(node.devnode().c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  int size = 0;
  if (fd < 0 || ioctl(fd, HIDIOCGRDESCSIZE, &size) < 0)
    qFatal("cannot open %s", node.devnode().c_str());
  return fd;
}

void CloseClient(FakeHidrawNode &node, int fd) {
  const int open = node.openClients();
  close(fd);
  QTRY_COMPARE(node.openClients(), open - 1);
}

// Every report the client can read now, oldest first.
std::vector<Bytes> ReadAll(int fd) {
  std::vector<Bytes> reports;
  uint8_t buffer[64];
  for (ssize_t size; (size = read(fd, buffer, sizeof buffer)) >= 0;)
    reports.emplace_back(buffer, buffer + size);
  return reports;
}

// One interface as hidapi lists it, or as the library reaches it.
struct Interface {
  std::string path;
  uint16_t productID;
  int number;
  std::string serial;
  uint16_t usagePage;
  uint16_t usage;
  auto operator<=>(const Interface &) const = default;
};

std::vector<Interface> HidapiInterfaces() {
  std::vector<Interface> found;
  hid_device_info *list = hid_enumerate(kTestVendorID, 0);
  for (hid_device_info *info = list; info; info = info->next)
    found.push_back({info->path, info->product_id, info->interface_number,
                     QString::fromWCharArray(info->serial_number).toStdString(),
                     info->usage_page, info->usage});
  hid_free_enumeration(list);
  std::sort(found.begin(), found.end());
  return found;
}

} // namespace

class HidrawTestbedTest : public QObject {
  Q_OBJECT

  std::unique_ptr<HidrawLibrary> lib_;
  FakeHidrawNode *node_ = nullptr;

private slots:
  // A PinworthA at 1-4; node_ is its interface 1.
  void init() {
    lib_ = std::make_unique<HidrawLibrary>();
    lib_->testbed.plugPinworth("1-4", kA, "1000");
    node_ = &lib_->testbed.node("1-4", 1);
  }
  void cleanup() { lib_.reset(); }
  void cleanupTestCase() { hid_exit(); }

  // The kernel's ring has 64 slots, one always free: a report that finds 63
  // waiting is dropped, and the oldest stay.
  void aFullQueueDropsTheNewReport() {
    const int fd = OpenClient(*node_);
    std::vector<Bytes> kept;
    for (uint8_t i = 0; i < 70; i++) {
      node_->sendInterruptReport({0x0C, i, 0, 0, 0, 0, 0, 0});
      if (i < 63)
        kept.push_back({0x0C, i, 0, 0, 0, 0, 0, 0});
    }
    QCOMPARE(ReadAll(fd), kept);
    CloseClient(*node_, fd);
  }

  // As the kernel does: input of an ID the descriptor declares only as
  // output (5) or not at all (0x42), or shorter than declared, is dropped;
  // a longer report passes whole.
  void reportsTheKernelDropsNeverArrive() {
    const int fd = OpenClient(*node_);
    const Bytes longer = {0x0C, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    for (const Bytes &report :
         {Bytes{0x05, 1, 2, 3, 4, 5, 6, 7}, Bytes{0x42, 1, 2, 3, 4, 5, 6, 7},
          Bytes{0x0C, 1, 2, 3, 4, 5, 6}, Bytes{}, longer})
      node_->sendInterruptReport(report);
    QCOMPARE(ReadAll(fd), std::vector<Bytes>{longer});
    CloseClient(*node_, fd);
  }

  void requests_data() {
    QTest::addColumn<bool>("isWrite");
    QTest::addColumn<Bytes>("buffer"); // report number first
    QTest::addColumn<int>("result");   // of the call, or -errno
    QTest::addColumn<Bytes>("after");  // the buffer after the call
    // The kernel refuses fewer than 2 bytes, or more than 16384, before the
    // device sees them.
    QTest::newRow("write 0") << true << Bytes{} << -EINVAL << Bytes{};
    QTest::newRow("write 1") << true << Bytes{0x0C} << -EINVAL << Bytes{0x0C};
    QTest::newRow("write 2") << true << Bytes{0x0C, 1} << 2 << Bytes{0x0C, 1};
    QTest::newRow("write 16385")
        << true << Bytes(16385, 0x0C) << -EINVAL << Bytes(16385, 0x0C);
    QTest::newRow("get 0 bytes") << false << Bytes{} << -EINVAL << Bytes{};
    QTest::newRow("get 1 byte") << false << Bytes{1} << -EINVAL << Bytes{1};
    // A report number's answer is cut to the buffer (tst_hidraw_transfer
    // reads the others through the library).
    QTest::newRow("get ID 1, cut")
        << false << Bytes{1, 0} << 2 << Bytes{1, 0x11};
    QTest::newRow("get ID 3, which the device does not have")
        << false << Bytes{3, 0} << -EPIPE << Bytes{3, 0};
  }

  // A refused request never reaches the device.
  void requests() {
    QFETCH(bool, isWrite);
    QFETCH(Bytes, buffer);
    QFETCH(int, result);
    QFETCH(Bytes, after);
    node_->setInputReport(1, {1, 0x11, 0x12});
    const int fd = OpenClient(*node_);
    const long done =
        isWrite ? write(fd, buffer.data(), buffer.size())
                : ioctl(fd, HIDIOCGINPUT(buffer.size()), buffer.data());
    QCOMPARE(done < 0 ? -errno : int(done), result);
    QCOMPARE(buffer, after);
    QCOMPARE(node_->written().size() + node_->inputRequests().size(),
             size_t{result != -EINVAL});
    CloseClient(*node_, fd);
  }

  // Each interface the library lists, hidapi lists on the same node with the
  // same product, number and serial, and the first usage of its descriptor.
  // The node takes hidapi's output report, answers its input report request
  // and hands it interrupt reports as the kernel does: interface 1's begin
  // with their ID, interface 0's go behind the report number 0.
  void hidapiAgreesWithTheLibrary() {
    lib_->testbed.plugPinworth("1-5", kB, std::nullopt);
    const QList<NodeSummary> listed = ListedNodes();
    std::vector<Interface> fromLibrary;
    for (int i = 0; i < int(listed.size()); i++) {
      hid::PropertyTable properties;
      QCOMPARE(ListedInterface(i)->copyProperties(properties), hid::kSuccess);
      const int number = listed[i].interfaceType % 2;
      const uint16_t productID =
          listed[i].interfaceType < kPinworthBInterface0 ? kA : kB;
      // The library reads a missing serial as 0.
      const int serial = listed[i].serialNumber;
      // The usages of the descriptors' application collections: 1 and 4.
      fromLibrary.push_back({properties.nodePath.value_or(""), productID,
                             number, serial ? std::to_string(serial) : "",
                             0xFF00, uint16_t(number ? 0x04 : 0x01)});
    }
    std::sort(fromLibrary.begin(), fromLibrary.end());
    QCOMPARE(HidapiInterfaces(), fromLibrary);

    for (const char *port : {"1-4", "1-5"})
      for (int number : {0, 1}) {
        FakeHidrawNode &node = lib_->testbed.node(port, number);
        const Bytes data =
            number ? Bytes{0x0C, 1, 2, 3, 4, 5, 6, 7} : Bytes{1, 2, 3, 4};
        const Bytes wire = number ? data : Bytes{0, 1, 2, 3, 4};
        hid_device *device = hid_open_path(node.devnode().c_str());
        QVERIFY(device);
        QCOMPARE(hid_write(device, wire.data(), wire.size()), int(wire.size()));
        QCOMPARE(node.written(), std::vector<Bytes>{wire});
        node.setInputReport(wire[0], data);
        Bytes answer(wire.size());
        answer[0] = wire[0];
        QCOMPARE(hid_get_input_report(device, answer.data(), answer.size()),
                 int(wire.size()));
        QCOMPARE(answer, wire);
        node.sendInterruptReport(data);
        Bytes interrupt(64);
        QCOMPARE(hid_read(device, interrupt.data(), interrupt.size()),
                 int(data.size()));
        interrupt.resize(data.size());
        QCOMPARE(interrupt, data);
        hid_close(device);
      }
  }
};

QTEST_GUILESS_MAIN(HidrawTestbedTest)
#include "tst_hidraw_testbed.moc"
