// What the window tells a user about the program and about access to the
// devices: the About box, and the permission help for a device whose nodes
// this user may not open.
#include "tests/app/ExplorerFixture.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QTest>

using hid::sim::DeviceID;
using hid::sim::Model;

class DesktopHelpTest : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;

  QWidget *permissionHelp() const {
    return fixture.window()->findChild<QWidget *>("permissionHelp");
  }
  QString permissionText() const {
    QStringList texts;
    for (const QLabel *label : permissionHelp()->findChildren<QLabel *>())
      texts << label->text();
    return texts.join('\n');
  }
  // Attaches a device whose interfaces refuse this user.
  DeviceID attachRefusing(Model model, const char *serial) {
    const DeviceID device = fixture.backend().attach(model, serial);
    for (int interface : {0, 1})
      fixture.backend().faults(device, interface).openStatus =
          hid::kErrorNotPermitted;
    return device;
  }

private slots:
  void initTestCase() { fixture.setUp(); }
  void cleanup() { fixture.cleanup(); }

  void aboutBoxNamesVersionLicenceAndQt() {
    fixture.startWithPinworthA();
    AlertAnswerer answerer;
    fixture.window()->findChild<QAction *>("aboutAction")->trigger();
    QCOMPARE(answerer.shown().size(), 1);
    const QString shown = answerer.shown().first();
    QVERIFY(shown.startsWith("Pinworth Explorer " PINWORTH_VERSION " | "));
    QVERIFY(shown.contains("MIT License"));
    QVERIFY(shown.contains("Built with Qt " QT_VERSION_STR));
  }

  // The help appears for the refused device only, copies its commands,
  // goes once access is given, and stays away once dismissed.
  void permissionHelpForARefusedDevice() {
    fixture.backend().attach(Model::PinworthA, "1000");
    DeviceID refused = attachRefusing(Model::PinworthB, "2000");
    fixture.loadAndWake();
    QVERIFY(permissionHelp()->isVisible());
    QVERIFY(permissionText().startsWith(
        "PinworthB (SN 2000) is attached, but this user may not open it: "
        "permission denied."));
    QTest::mouseClick(
        permissionHelp()->findChild<QPushButton *>("copyCommandsButton"),
        Qt::LeftButton);
    const QString commands = QGuiApplication::clipboard()->text();
    QVERIFY(commands.contains("sudo udevadm control --reload-rules\n"));
    QVERIFY(permissionText().contains(commands.trimmed()));

    fixture.backend().detach(refused); // access given, then plugged again
    fixture.backend().attach(Model::PinworthB, "2000");
    QTRY_VERIFY(!permissionHelp()->isVisible());

    refused = attachRefusing(Model::PinworthB, "2001");
    QTRY_VERIFY(permissionHelp()->isVisible());
    QTest::mouseClick(
        permissionHelp()->findChild<QPushButton *>("dismissButton"),
        Qt::LeftButton);
    fixture.backend().detach(refused);
    QTRY_COMPARE(fixture.interfacePopup()->count(), 4);
    attachRefusing(Model::PinworthB, "2001");
    QTRY_COMPARE(fixture.interfacePopup()->count(), 6);
    QVERIFY(!permissionHelp()->isVisible());
  }
};

QTEST_MAIN(DesktopHelpTest)
#include "tst_desktop_help.moc"
