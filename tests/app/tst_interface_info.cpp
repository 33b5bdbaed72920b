// The Interface Info window and the report check in the status bar, over
// the simulated devices' own descriptors.
#include "app/InterfaceInfoWindow.h"
#include "tests/app/ExplorerFixture.h"
#include "tests/support/ProcessLimits.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QTableWidget>
#include <QTest>

namespace {

// The rows of the window's report table, "<ID> <kind> <data bytes>" each.
QStringList reportRows(const explorer::InterfaceInfoWindow *window) {
  const auto *table = window->findChild<QTableWidget *>("reportsTable");
  QStringList rows;
  for (int row = 0; row < table->rowCount(); ++row)
    rows << QStringLiteral("%1 %2 %3")
                .arg(table->item(row, 0)->text(), table->item(row, 1)->text(),
                     table->item(row, 3)->text());
  return rows;
}

} // namespace

class TestInterfaceInfo : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;
  hid::sim::DeviceID device = 0;

  explorer::InterfaceInfoWindow *infoWindow() const {
    return fixture.window()->findChild<explorer::InterfaceInfoWindow *>();
  }
  QLabel *reportCheckLabel() const {
    return fixture.widget<QLabel>("reportCheckLabel");
  }

private slots:
  void initTestCase() { fixture.setUp(); }
  void init() { device = fixture.startWithPinworthA(); }
  void cleanup() { fixture.cleanup(); }

  // The window shows the selected interface and follows the selection.
  void windowFollowsTheSelection() {
    fixture.chooseInterface(1);
    fixture.click("infoButton");
    explorer::InterfaceInfoWindow *window = infoWindow();
    QVERIFY(window && window->isVisible());
    QCOMPARE(reportRows(window),
             QStringList({"04 Output 7", "05 Output 7", "06 Input 7",
                          "06 Output 7", "0C Input 7", "0C Output 7"}));
    QVERIFY(window->text().contains("Serial number: 1000\n"));
    QVERIFY(window->text().contains("Product: PinworthA\n"));

    fixture.chooseInterface(0);
    QCOMPARE(reportRows(window),
             QStringList({"none Input 4", "none Output 4"}));
    QVERIFY(window->text().startsWith("PinworthA (SN 1000) Interface 0\n"));

    // Escape closes it, and so does Ctrl+W.
    for (const QKeySequence &key :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
      fixture.click("infoButton");
      QVERIFY(QTest::qWaitForWindowActive(window));
      QTest::keySequence(window, key);
      QTRY_VERIFY(!window->isVisible());
    }
  }

  // Copy and Save give the same text; a failed save says why.
  void copyAndSave() {
    fixture.click("infoButton");
    explorer::InterfaceInfoWindow *window = infoWindow();
    QTest::mouseClick(window->findChild<QPushButton *>("copyButton"),
                      Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), window->text());

    const QString path = fixture.homePath() + "/info.txt";
    QString error;
    QVERIFY(window->saveTo(path, &error));
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(saved.readAll()), window->text());
    QVERIFY(
        !window->saveTo(fixture.homePath() + "/no/such/dir/info.txt", &error));
    QVERIFY(!error.isEmpty());
    // A disk with room for part of it keeps the file it would replace.
    {
      const WithLimit fileSize(RLIMIT_FSIZE, 100);
      QVERIFY(!window->saveTo(path, &error));
    }
    QVERIFY2(error.contains("File too large"), qPrintable(error));
    QVERIFY(saved.seek(0));
    QCOMPARE(QString::fromUtf8(saved.readAll()), window->text());
  }

  void unreadableDescriptor() {
    fixture.backend().faults(device, 1).descriptorUnreadable = true;
    fixture.chooseInterface(1);
    fixture.click("infoButton");
    QVERIFY(infoWindow()->text().contains("Report descriptor: unreadable"));
    QVERIFY(reportRows(infoWindow()).isEmpty());
    fixture.setFormTexts("07", {});
    QVERIFY(!reportCheckLabel()->isVisible()); // nothing to check against
  }

  // The status bar says when the form holds a report the descriptor does
  // not declare, as the user types it.
  void reportCheck_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("reportID");
    QTest::addColumn<QString>("warning");
    QTest::newRow("declared") << 1 << "05"
                              << "";
    QTest::newRow("undeclared") << 1 << "07"
                                << "Undeclared report 07 (04 05 06 0C)";
    QTest::newRow("not a byte") << 1 << "zz"
                                << "";
    QTest::newRow("interface 0") << 0 << "07"
                                 << "";
  }

  void reportCheck() {
    QFETCH(int, position);
    QFETCH(QString, reportID);
    QFETCH(QString, warning);
    fixture.chooseInterface(position);
    fixture.setFormTexts(reportID, {});
    QCOMPARE(reportCheckLabel()->isVisible(), !warning.isEmpty());
    if (!warning.isEmpty())
      QCOMPARE(reportCheckLabel()->text(), warning);
  }
};

QTEST_MAIN(TestInterfaceInfo)
#include "tst_interface_info.moc"
