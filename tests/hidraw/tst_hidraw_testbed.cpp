// The emulated hidraw nodes against the kernel's hidraw driver: a queue of at
// most 63 reports per open file and none for a file not open.
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
};

QTEST_GUILESS_MAIN(HidrawTestbedTest)
#include "tst_hidraw_testbed.moc"
