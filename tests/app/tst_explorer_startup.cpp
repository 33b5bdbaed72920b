// Start-up of the explorer window and its interface menu, over the real
// library and simulated devices: no device, two devices, and devices plugged
// in and out while the window is open.
#include "ExplorerFixture.h"

#include <QApplication>
#include <QTest>

using hid::sim::Model;

namespace {

const QString kNoDevice = "No Pinworth device attached";

} // namespace

class ExplorerStartupTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() { fixture.setUp(); }
  void cleanup() { fixture.cleanup(); }

  void startsWithoutDeviceQuietly() {
    fixture.loadAndWake();
    QCOMPARE(fixture.interfacePopup()->count(), 0);
    QCOMPARE(fixture.interfacePopup()->currentIndex(), -1);
    QCOMPARE(fixture.interfacePopup()->placeholderText(), kNoDevice);
    QCOMPARE(fixture.controller()->currentReportSize(), 4);
    QCOMPARE(fixture.byteEnabled(),
             QList<bool>({true, true, true, true, false, false, false}));
    QVERIFY(!fixture.reportIDField()->isEnabled());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
  }

  void listsTwoDevicesInListOrder() {
    fixture.backend().attach(Model::PinworthA, "1000");
    fixture.backend().attach(Model::PinworthB, "2000");
    fixture.loadAndWake();
    QCOMPARE(fixture.titles(fixture.interfacePopup()),
             QStringList({"PinworthA Interface 0 (SN 1000)",
                          "PinworthA Interface 1 (SN 1000)",
                          "PinworthB Interface 0 (SN 2000)",
                          "PinworthB Interface 1 (SN 2000)"}));
    QCOMPARE(fixture.interfacePopup()->currentIndex(), 0);
    QCOMPARE(fixture.controller()->currentReportSize(), 4);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
  }

  // A rebuilt menu shows its first item, while the form keeps its layout and
  // every text the user typed until the user picks an interface.
  void rebuildsMenuOnPlugInAndOutKeepingTheForm() {
    const hid::sim::DeviceID first =
        fixture.backend().attach(Model::PinworthA, "1000");
    fixture.loadAndWake();
    fixture.chooseInterface(1);
    const QStringList typed = {"12", "34", "56", "78", "9a", "bc", "de"};
    fixture.typeBytes(typed);
    fixture.reportIDField()->setText("05");
    const auto verifyFormKept = [&] {
      QCOMPARE(fixture.controller()->currentReportSize(), 7);
      QCOMPARE(fixture.byteTexts(), typed);
      QCOMPARE(fixture.byteEnabled(), QList<bool>(7, true));
      QVERIFY(fixture.reportIDField()->isEnabled());
      QCOMPARE(fixture.reportIDField()->text(), QStringLiteral("05"));
    };

    fixture.backend().attach(Model::PinworthB, "-7");
    QTRY_COMPARE(fixture.interfacePopup()->count(), 4);
    QCOMPARE(fixture.titles(fixture.interfacePopup()),
             QStringList({"PinworthA Interface 0 (SN 1000)",
                          "PinworthA Interface 1 (SN 1000)",
                          "PinworthB Interface 0 (SN -7)",
                          "PinworthB Interface 1 (SN -7)"}));
    QCOMPARE(fixture.interfacePopup()->currentIndex(), 0);
    verifyFormKept();

    fixture.backend().detach(first);
    QTRY_COMPARE(fixture.interfacePopup()->count(), 2);
    QCOMPARE(fixture.titles(fixture.interfacePopup()),
             QStringList({"PinworthB Interface 0 (SN -7)",
                          "PinworthB Interface 1 (SN -7)"}));
    verifyFormKept();

    fixture.backend().detachAll();
    QTRY_COMPARE(fixture.interfacePopup()->count(), 0);
    QCOMPARE(fixture.interfacePopup()->currentIndex(), -1);
    QCOMPARE(fixture.interfacePopup()->placeholderText(), kNoDevice);
    verifyFormKept();
  }

private:
  ExplorerFixture fixture;
};

QTEST_MAIN(ExplorerStartupTest)
#include "tst_explorer_startup.moc"
