// The emulated hidraw nodes against the kernel's hidraw driver: a queue of at
// most 63 reports per open file and none for a file not open, short requests
// refused, input reports by report number.
#include "HidrawLibrary.h"

#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr uint16_t kA = kPinworthAProductID;

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

} // namespace

class HidrawTestbedTest : public QObject {
  Q_OBJECT

private slots:
  // A report reaches every client open when it is sent: none opened later,
  // and a client's unread reports go with its close. Once the device is gone
  // a client reads what it still has, then EIO.
  void eachOpenFileHasItsOwnQueue() {
    HidrawTestbed testbed;
    testbed.plugPinworth("1-4", kA, "1");
    FakeHidrawNode &node = testbed.node("1-4", 1);
    const Bytes r1 = {0x0C, 1}, r2 = {0x0C, 2}, r3 = {0x0C, 3}, r4 = {0x0C, 4};
    node.sendInterruptReport(r1);
    const int first = OpenClient(node);
    QVERIFY(!node.readable());
    node.sendInterruptReport(r2);
    const int second = OpenClient(node);
    node.sendInterruptReport(r3);
    QCOMPARE(ReadAll(first), (std::vector<Bytes>{r2, r3}));
    QTRY_VERIFY(node.readable());
    node.sendInterruptReport(r4);
    CloseClient(node, first);
    QCOMPARE(ReadAll(second), (std::vector<Bytes>{r3, r4}));
    QVERIFY(!node.readable());
    node.sendInterruptReport(r1);
    CloseClient(node, second);
    QVERIFY(!node.readable());
    const int third = OpenClient(node);
    QVERIFY(ReadAll(third).empty());
    node.sendInterruptReport(r2);
    node.disconnect();
    const std::vector<Bytes> left = ReadAll(third);
    const int error = errno;
    QCOMPARE(left, std::vector<Bytes>{r2});
    QCOMPARE(error, EIO);
    QVERIFY(node.readable());
    CloseClient(node, third);
  }

  // The kernel's ring has 64 slots, one always free: a report that finds 63
  // waiting is dropped, and the oldest stay.
  void aFullQueueDropsTheNewReport() {
    HidrawTestbed testbed;
    testbed.plugPinworth("1-4", kA, "1");
    FakeHidrawNode &node = testbed.node("1-4", 1);
    const int fd = OpenClient(node);
    std::vector<Bytes> kept;
    for (uint8_t i = 0; i < 70; i++) {
      node.sendInterruptReport({0x0C, i});
      if (i < 63)
        kept.push_back({0x0C, i});
    }
    QCOMPARE(ReadAll(fd), kept);
    QVERIFY(!node.readable());
    CloseClient(node, fd);
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
    // Each report number has its own answer, cut to the buffer; the number 0
    // stays in front of the device's answer.
    QTest::newRow("get ID 1, cut")
        << false << Bytes{1, 0} << 2 << Bytes{1, 0x11};
    QTest::newRow("get ID 2")
        << false << Bytes{2, 0, 0, 0} << 3 << Bytes{2, 0x21, 0x22, 0};
    QTest::newRow("get number 0")
        << false << Bytes{0, 0, 0, 0} << 3 << Bytes{0, 0xA1, 0xA2, 0};
    QTest::newRow("get ID 3, which the device does not have")
        << false << Bytes{3, 0} << -EPIPE << Bytes{3, 0};
  }

  // A refused request never reaches the device.
  void requests() {
    QFETCH(bool, isWrite);
    QFETCH(Bytes, buffer);
    QFETCH(int, result);
    QFETCH(Bytes, after);
    HidrawTestbed testbed;
    testbed.plugPinworth("1-4", kA, "1");
    FakeHidrawNode &node = testbed.node("1-4", 1);
    node.setInputReport(0, {0xA1, 0xA2});
    node.setInputReport(1, {1, 0x11, 0x12});
    node.setInputReport(2, {2, 0x21, 0x22});
    const int fd = OpenClient(node);
    const long done =
        isWrite ? write(fd, buffer.data(), buffer.size())
                : ioctl(fd, HIDIOCGINPUT(buffer.size()), buffer.data());
    QCOMPARE(done < 0 ? -errno : int(done), result);
    QCOMPARE(buffer, after);
    QCOMPARE(node.written().size() + node.inputRequests().size(),
             size_t{result != -EINVAL});
    CloseClient(node, fd);
  }
};

QTEST_GUILESS_MAIN(HidrawTestbedTest)
#include "tst_hidraw_testbed.moc"
