// Start-up of the explorer window and its interface menu, over the real
// library and simulated devices: no device, two devices, and devices plugged
// in and out while the window is open.
#include "tests/app/ExplorerFixture.h"

#include <QTest>

using hid::sim::Model;

class ExplorerStartupTest : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;

private slots:
  void initTestCase() { fixture.setUp(); }
  void cleanup() { fixture.cleanup(); }

  // No device: an empty menu that says so, the short layout, no alert.
  void startsWithoutDeviceQuietly() {
    fixture.loadAndWake();
    QCOMPARE(fixture.interfacePopup()->count(), 0);
    QCOMPARE(fixture.interfacePopup()->placeholderText(),
             "No Pinworth device attached");
    QCOMPARE(fixture.controller()->reportForm().reportSize(), 4);
    QCOMPARE(fixture.byteEnabled(),
             QList<bool>({true, true, true, true, false, false, false}));
    QVERIFY(!fixture.reportIDField()->isEnabled());
    QVERIFY(fixture.controller()->reading().ignoresDuplicates());
  }

  // Each plug rebuilds the menu, in list order.
  void menuFollowsPlugs() {
    const auto a = fixture.backend().attach(Model::PinworthA, "1000");
    fixture.loadAndWake();
    fixture.backend().attach(Model::PinworthB, "-7");
    QTRY_COMPARE(fixture.interfacePopup()->count(), 4);
    QCOMPARE(fixture.titles(fixture.interfacePopup()),
             QStringList({"PinworthA Interface 0 (SN 1000)",
                          "PinworthA Interface 1 (SN 1000)",
                          "PinworthB Interface 0 (SN -7)",
                          "PinworthB Interface 1 (SN -7)"}));
    fixture.backend().detach(a);
    QTRY_COMPARE(fixture.interfacePopup()->count(), 2);
    QCOMPARE(fixture.interfacePopup()->itemText(0),
             "PinworthB Interface 0 (SN -7)");
  }
};

QTEST_MAIN(ExplorerStartupTest)
#include "tst_explorer_startup.moc"
