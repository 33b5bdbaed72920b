// The gadget's model as its threads share it: endpoint threads take the
// reports the bench sends, in order, and say when the host took each; the
// bench's drain waits for that; an unplugged device drops what it had not
// sent and sends nothing; stop() ends an endpoint that waits; a device the
// host does not poll keeps its newest reports. Its commands come as lines
// of bounded length.
#include "gadget/CommandLines.h"
#include "gadget/GadgetModel.h"

#include <QTest>

#include <thread>

using namespace std::chrono_literals;

namespace {

std::vector<uint8_t> Numbered(int n) {
  return {0x0c, uint8_t(n), uint8_t(n >> 8), 0, 0, 0, 0, 0};
}

int Number(const std::vector<uint8_t> &report) {
  return report[1] | report[2] << 8;
}

// An endpoint thread: takes interface's reports until the model stops, and
// reports each done once it is recorded.
class Endpoint {
public:
  Endpoint(gadget::GadgetModel &model, int interfaceNumber)
      : thread_([this, &model, interfaceNumber] {
          while (const auto report = model.nextInputReport(interfaceNumber)) {
            taken_.push_back(*report);
            model.reportDone(interfaceNumber);
          }
        }) {}
  // The reports taken; call once the model stopped.
  const std::vector<std::vector<uint8_t>> &taken() {
    if (thread_.joinable())
      thread_.join();
    return taken_;
  }

private:
  std::vector<std::vector<uint8_t>> taken_;
  std::thread thread_;
};

} // namespace

class GadgetModelTest : public QObject {
  Q_OBJECT

private slots:
  // Lines come whole, however the reads cut them; one longer than the bound
  // ends the input, whether its line end comes or never does.
  void commandLinesAreWholeAndBounded() {
    gadget::CommandLines lines;
    const auto add = [](gadget::CommandLines &to, const std::string &bytes) {
      to.add(bytes.data(), bytes.size());
    };
    add(lines, "unplug\npl");
    QCOMPARE(lines.next(), std::optional<std::string>("unplug"));
    QCOMPARE(lines.next(), std::nullopt);
    add(lines, "ug\n");
    QCOMPARE(lines.next(), std::optional<std::string>("plug"));
    const std::string longest(gadget::CommandLines::kMaxLineBytes, 'x');
    add(lines, longest + "\n");
    QCOMPARE(lines.next(), longest);
    for (const std::string &ending :
         {std::string("x\nquit\n"), std::string("x")}) {
      gadget::CommandLines bounded;
      add(bounded, longest);
      add(bounded, ending);
      QCOMPARE(bounded.next(), std::nullopt);
      QVERIFY(bounded.tooLong());
    }
  }

  void endpointsTakeEveryReportInOrder() {
    gadget::GadgetModel model(hid::sim::Model::PinworthA);
    Endpoint pins(model, 0), keys(model, 1);
    for (int batch = 0; batch < 10; ++batch) {
      for (int n = batch * 100; n < batch * 100 + 100; ++n)
        model.sendInputReport(1, Numbered(n));
      model.setPinPulledLow(batch, true);
      QVERIFY(model.waitUntilSent(5s));
    }
    model.stop();
    QCOMPARE(pins.taken().size(), size_t(10));
    QCOMPARE(pins.taken().back(),
             std::vector<uint8_t>({0x00, 0xfc, 0xff, 0xff}));
    const auto &taken = keys.taken();
    QCOMPARE(taken.size(), size_t(1000));
    for (int n = 0; n < 1000; ++n)
      QCOMPARE(Number(taken[size_t(n)]), n);
  }

  void anUnpluggedDeviceSendsNothing() {
    gadget::GadgetModel model(hid::sim::Model::PinworthB);
    model.sendInputReport(1, Numbered(1));
    // Taken by the endpoint, not yet by the host.
    QVERIFY(model.nextInputReport(1));
    model.sendInputReport(1, Numbered(2));
    QVERIFY(!model.waitUntilSent(20ms));
    model.setPlugged(false);
    QVERIFY(!model.waitUntilSent(20ms));
    model.reportDone(1);
    QVERIFY(model.waitUntilSent(0ms));
    model.sendInputReport(1, Numbered(3));
    model.pressRemoteKey(0, 0x16);
    QVERIFY(model.waitUntilSent(0ms));
    model.setPlugged(true);
    model.sendInputReport(1, Numbered(4));
    Endpoint keys(model, 1);
    QVERIFY(model.waitUntilSent(5s));
    model.stop();
    QCOMPARE(keys.taken(), std::vector<std::vector<uint8_t>>{Numbered(4)});
  }

  void aDeviceTheHostDoesNotPollKeepsItsNewestReports() {
    gadget::GadgetModel model(hid::sim::Model::PinworthA);
    const int sent = int(gadget::GadgetModel::kQueueLimit) + 44;
    for (int n = 0; n < sent; ++n)
      model.sendInputReport(1, Numbered(n));
    QVERIFY(!model.waitUntilSent(20ms));
    Endpoint keys(model, 1);
    QVERIFY(model.waitUntilSent(5s));
    model.stop();
    const auto &taken = keys.taken();
    QCOMPARE(taken.size(), gadget::GadgetModel::kQueueLimit);
    QCOMPARE(Number(taken.front()), 44);
    QCOMPARE(Number(taken.back()), sent - 1);
  }
};

QTEST_GUILESS_MAIN(GadgetModelTest)
#include "tst_gadget_model.moc"
