// Start-up of the explorer window and its interface menu, over the real
// library and simulated devices: no device, two devices, devices plugged in
// and out while the window is open, and the controller's life.
#include "ExplorerFixture.h"

#include "PinworthLib.h"

#include <QApplication>
#include <QCheckBox>
#include <QTest>

using hid::sim::Model;

class ExplorerStartupTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() { fixture.setUp(); }
  void cleanup() {
    fixture.close();
    fixture.detachAllDevices();
  }

  void startsWithoutDeviceQuietly();
  void listsTwoDevicesInListOrder();
  void startsWithDuplicatesIgnored();
  void rebuildsMenuWhenDeviceArrivesKeepingForm();
  void rebuildsMenuWhenDeviceLeavesKeepingForm();
  void namesEveryInterfaceType();
  void registersOneControllerAtATime();

private:
  ExplorerFixture fixture;
};

void ExplorerStartupTest::startsWithoutDeviceQuietly() {
  fixture.loadAndWake();
  QCOMPARE(fixture.interfacePopup()->count(), 0);
  QCOMPARE(fixture.interfacePopup()->currentIndex(), -1);
  QCOMPARE(fixture.interfacePopup()->placeholderText(),
           QStringLiteral("No Pinworth device attached"));
  QCOMPARE(fixture.controller()->currentReportSize(), 4);
  QCOMPARE(fixture.byteEnabled(),
           QList<bool>({true, true, true, true, false, false, false}));
  QVERIFY(!fixture.reportIDField()->isEnabled());
  QCOMPARE(QApplication::activeModalWidget(), nullptr);
  QCOMPARE(QApplication::topLevelWidgets().size(), 1);
  QCOMPARE(fixture.log()->rowCount(), 0);
  QVERIFY(!fixture.addMacroButton()->isEnabled());
}

void ExplorerStartupTest::listsTwoDevicesInListOrder() {
  fixture.backend().attach(Model::PinworthA, "1000");
  fixture.backend().attach(Model::PinworthB, "2000");
  fixture.loadAndWake();
  QCOMPARE(fixture.interfaceTitles(),
           QStringList({"PinworthA Interface 0 (SN 1000)",
                        "PinworthA Interface 1 (SN 1000)",
                        "PinworthB Interface 0 (SN 2000)",
                        "PinworthB Interface 1 (SN 2000)"}));
  QCOMPARE(fixture.interfacePopup()->currentIndex(), 0);
  QCOMPARE(fixture.controller()->currentReportSize(), 4);
  QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void ExplorerStartupTest::startsWithDuplicatesIgnored() {
  fixture.loadAndWake();
  auto *checkBox = fixture.widget<QCheckBox>("ignoreDuplicatesCheckBox");
  QVERIFY(checkBox->isChecked());
  QVERIFY(fixture.controller()->ignoresDuplicates());
  QVERIFY(!fixture.controller()->readingInProgress());
  QCOMPARE(fixture.widget<QPushButton>("readButton")->text(),
           QStringLiteral("Read"));
  QTest::mouseClick(checkBox, Qt::LeftButton);
  QVERIFY(!checkBox->isChecked());
  QVERIFY(!fixture.controller()->ignoresDuplicates());
}

void ExplorerStartupTest::rebuildsMenuWhenDeviceArrivesKeepingForm() {
  fixture.backend().attach(Model::PinworthA, "1000");
  fixture.loadAndWake();
  fixture.chooseInterface(1);
  fixture.typeBytes({"12", "34", "56", "78", "9a", "bc", "de"});
  fixture.reportIDField()->setText("05");

  fixture.backend().attach(Model::PinworthB, "-7");
  QTRY_COMPARE(fixture.interfacePopup()->count(), 4);
  QCOMPARE(fixture.interfaceTitles(),
           QStringList({"PinworthA Interface 0 (SN 1000)",
                        "PinworthA Interface 1 (SN 1000)",
                        "PinworthB Interface 0 (SN -7)",
                        "PinworthB Interface 1 (SN -7)"}));
  QCOMPARE(fixture.controller()->currentReportSize(), 7);
  QCOMPARE(fixture.byteTexts(),
           QStringList({"12", "34", "56", "78", "9a", "bc", "de"}));
  QCOMPARE(fixture.byteEnabled(), QList<bool>(7, true));
  QVERIFY(fixture.reportIDField()->isEnabled());
  QCOMPARE(fixture.reportIDField()->text(), QStringLiteral("05"));
}

void ExplorerStartupTest::rebuildsMenuWhenDeviceLeavesKeepingForm() {
  const hid::sim::DeviceID first =
      fixture.backend().attach(Model::PinworthA, "1000");
  fixture.backend().attach(Model::PinworthB, "2000");
  fixture.loadAndWake();
  fixture.typeBytes({"01", "02", "03", "04"});

  fixture.backend().detach(first);
  QTRY_COMPARE(fixture.interfacePopup()->count(), 2);
  QCOMPARE(fixture.interfaceTitles(),
           QStringList({"PinworthB Interface 0 (SN 2000)",
                        "PinworthB Interface 1 (SN 2000)"}));
  QCOMPARE(fixture.byteTexts(),
           QStringList({"01", "02", "03", "04", "--", "--", "--"}));
  QCOMPARE(fixture.controller()->currentReportSize(), 4);

  fixture.detachAllDevices();
  QTRY_COMPARE(fixture.interfacePopup()->count(), 0);
  QCOMPARE(fixture.interfacePopup()->currentIndex(), -1);
  QCOMPARE(fixture.interfacePopup()->placeholderText(),
           QStringLiteral("No Pinworth device attached"));
  QCOMPARE(fixture.byteTexts(),
           QStringList({"01", "02", "03", "04", "--", "--", "--"}));
}

void ExplorerStartupTest::namesEveryInterfaceType() {
  fixture.loadAndWake();
  const PinworthWindowController *controller = fixture.controller();
  QCOMPARE(controller->nameForPinworthInterfaceType(kPinworthAInterface0),
           QStringLiteral("PinworthA Interface 0"));
  QCOMPARE(controller->nameForPinworthInterfaceType(kPinworthAInterface1),
           QStringLiteral("PinworthA Interface 1"));
  QCOMPARE(controller->nameForPinworthInterfaceType(kPinworthBInterface0),
           QStringLiteral("PinworthB Interface 0"));
  QCOMPARE(controller->nameForPinworthInterfaceType(kPinworthBInterface1),
           QStringLiteral("PinworthB Interface 1"));
  QCOMPARE(controller->nameForPinworthInterfaceType(4),
           QStringLiteral("Unknown interface type"));
  QCOMPARE(controller->nameForPinworthInterfaceType(-1),
           QStringLiteral("Unknown interface type"));
}

void ExplorerStartupTest::registersOneControllerAtATime() {
  fixture.load();
  QCOMPARE(gWindowController, nullptr);
  fixture.wake();
  QCOMPARE(gWindowController, fixture.controller());
  QVERIFY(gPinworthCallBackPtr == &PinworthCallback);

  fixture.close();
  QCOMPARE(gWindowController, nullptr);
  QVERIFY(gPinworthCallBackPtr == nullptr);
  // A device change with no window reaches no controller.
  fixture.backend().attach(Model::PinworthA, "1000");
  QCoreApplication::processEvents();

  fixture.loadAndWake();
  QCOMPARE(fixture.interfacePopup()->count(), 2);
  QCOMPARE(gWindowController, fixture.controller());
}

QTEST_MAIN(ExplorerStartupTest)
#include "tst_explorer_startup.moc"
