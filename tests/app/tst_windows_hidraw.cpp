// Two explorer windows on the hidraw backend, over devices umockdev
// emulates: both log every report of A:1000:1 while the second polls
// B:2000:0, their macro menus follow each other, and closing one leaves the
// other listening.
#include "tests/platform/hidraw/HidrawTestbed.h"

#include "app/ExplorerSession.h"
#include "app/InterfaceReader.h"
#include "app/PinworthWindowController.h"
#include "app/log/LogTableModel.h"
#include "lib/PinworthLib.h"
#include "platform/PinworthUSBIDs.h"
#include "platform/hidraw/HidrawBackend.h"

#include <QComboBox>
#include <QMainWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

template <typename Widget>
Widget *In(PinworthWindowController *window, const char *name) {
  return window->mainWindow()->findChild<Widget *>(QLatin1String(name));
}

void Choose(PinworthWindowController *window, const char *menu, int item) {
  auto *popup = In<QComboBox>(window, menu);
  popup->setCurrentIndex(item);
  emit popup->activated(item);
}

void Click(PinworthWindowController *window, const char *button) {
  QTest::mouseClick(In<QPushButton>(window, button), Qt::LeftButton);
}

int Rows(PinworthWindowController *window, const QString &source) {
  int rows = 0;
  for (int i = 0; i < window->logModel()->reportCount(); ++i)
    rows +=
        window->logModel()->isReport(i) &&
        window->logModel()->cellText(i, LogTableModel::kSourceColumn) == source;
  return rows;
}

} // namespace

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
      ExplorerSession session(
          {home.filePath("defaults.json"), home.filePath("window-state.ini")});
      session.newWindow();
      session.newWindow();
      PinworthWindowController *first = session.controllers()[0];
      PinworthWindowController *second = session.controllers()[1];
      for (PinworthWindowController *window : {first, second}) {
        Choose(window, "interfacePopup", 1);
        Click(window, "readButton");
      }
      Choose(second, "interfacePopup", 2);
      Click(second, "readButton");
      QVERIFY(second->reading().isPolling());
      FakeHidrawNode &a1 = testbed.node("1-4", 1);
      QTRY_COMPARE(a1.openClients(), 2); // requests, and the reader's own
      for (uint8_t n = 0; n < 30; ++n)
        a1.sendInterruptReport({0x0c, n, 0x16, 0, 0, 0, 0, 0});
      QTRY_COMPARE(Rows(first, "A 1000 if1"), 30);
      QTRY_COMPARE(Rows(second, "A 1000 if1"), 30);
      QVERIFY(Rows(second, "B 2000 if0") >= 1);
      QCOMPARE(Rows(first, "B 2000 if0"), 0);

      Choose(first, "macroPopup", 2);
      Click(first, "deleteMacroButton");
      QCOMPARE(In<QComboBox>(second, "macroPopup")->count(), 5);

      second->mainWindow()->close();
      QTRY_COMPARE(session.controllers().size(), size_t(1));
      a1.sendInterruptReport({0x0c, 99, 0x16, 0, 0, 0, 0, 0});
      QTRY_COMPARE(Rows(first, "A 1000 if1"), 31);
    }
    PinworthClearInterfaceList(); // the handles go before their backend
    hid::SetBackend(nullptr);
    QTRY_VERIFY(testbed.allNodesClosed()); // the reader lets go on its thread
  }
};

QTEST_MAIN(WindowsOnHidrawTest)
#include "tst_windows_hidraw.moc"
