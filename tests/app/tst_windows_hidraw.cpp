// Two explorer windows on the hidraw backend, over devices umockdev
// emulates: both log every report of A:1000:1 while the second polls
// B:2000:0, their macro menus follow each other, and closing one leaves the
// other listening.
#include "tests/app/ExplorerFixture.h"
#include "tests/platform/hidraw/HidrawTestbed.h"

#include "lib/PinworthLib.h"
#include "platform/PinworthUSBIDs.h"
#include "platform/hidraw/HidrawBackend.h"

#include <QTest>

using Explorer = ExplorerFixture;

class WindowsOnHidrawTest : public QObject {
  Q_OBJECT

private slots:
  void twoWindowsShareTheDevices() {
    QTemporaryDir home;
    HidrawTestbed testbed;
    testbed.plugPinworth("1-4", pinworth::kUSBProductIDA, "1000");
    testbed.plugPinworth("1-5", pinworth::kUSBProductIDB, "2000");
    testbed.node("1-5", 0).setInputReport(0, {0xff, 0xff, 0xff, 0xfe});
    hid::hidraw::HidrawBackend backend;
    hid::SetBackend(&backend);
    {
      explorer::ExplorerProcess process({home.filePath("defaults.json"),
                                         home.filePath("window-state.ini"),
                                         home.filePath("sessions")});
      process.newWindow();
      process.newWindow();
      explorer::PinworthWindowController *first = process.controllers()[0];
      explorer::PinworthWindowController *second = process.controllers()[1];
      for (explorer::PinworthWindowController *window : {first, second}) {
        Explorer::chooseIn(window, "interfacePopup", 1);
        Explorer::clickIn(window, "readButton");
      }
      Explorer::chooseIn(second, "interfacePopup", 2);
      Explorer::clickIn(second, "readButton");
      QVERIFY(second->reading().isPolling());
      FakeHidrawNode &a1 = testbed.node("1-4", 1);
      QTRY_COMPARE(a1.openClients(), 2); // requests, and the reader's own
      for (uint8_t n = 0; n < 30; ++n)
        a1.sendInterruptReport({0x0c, n, 0x16, 0, 0, 0, 0, 0});
      QTRY_COMPARE(Explorer::reportRows(first, "A 1000 if1"), 30);
      QTRY_COMPARE(Explorer::reportRows(second, "A 1000 if1"), 30);
      QVERIFY(Explorer::reportRows(second, "B 2000 if0") >= 1);
      QCOMPARE(Explorer::reportRows(first, "B 2000 if0"), 0);

      Explorer::chooseIn(first, "macroPopup", 2);
      Explorer::clickIn(first, "deleteMacroButton");
      QCOMPARE(Explorer::widgetIn<QComboBox>(second, "macroPopup")->count(), 5);

      second->mainWindow()->close();
      QTRY_COMPARE(process.controllers().size(), size_t(1));
      a1.sendInterruptReport({0x0c, 99, 0x16, 0, 0, 0, 0, 0});
      QTRY_COMPARE(Explorer::reportRows(first, "A 1000 if1"), 31);
    }
    PinworthClearInterfaceList(); // the handles go before their backend
    hid::SetBackend(nullptr);
    QTRY_VERIFY(testbed.allNodesClosed()); // the reader lets go on its thread
  }
};

QTEST_MAIN(WindowsOnHidrawTest)
#include "tst_windows_hidraw.moc"
