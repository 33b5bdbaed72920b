// The explorer keeps its aim and says what it does: the selection across
// device changes, the status bar, alerts that say why and lead to the field,
// pasted reports and Return, macros that do not fit, the palette and the
// keyboard, and the window's state across restarts.
#include "app/ReportFormFields.h"
#include "tests/app/ExplorerFixture.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>

using hid::sim::DeviceID;
using hid::sim::Model;
using Wire = std::vector<std::vector<uint8_t>>;

class TargetingTest : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;

  QString selectedTitle() { return fixture.interfacePopup()->currentText(); }
  QString statusLabel(const char *name) {
    return fixture.window()->findChild<QLabel *>(name)->text();
  }
  QString activity() { return statusLabel("activityLabel"); }
  QString message() { return fixture.window()->statusBar()->currentMessage(); }
  void pasteInto(QLineEdit *field, const QString &text) {
    QApplication::clipboard()->setText(text);
    QTest::keySequence(field, QKeySequence::Paste);
  }
  // Waits for the rebuild that a device change brings.
  void settle(int searchesBefore, int changes = 1) {
    QTRY_VERIFY(fixture.backend().searchCount() >= searchesBefore + changes);
  }

private slots:
  void initTestCase() { fixture.setUp(); }
  void cleanup() { fixture.cleanup(); }

  // A change of another device keeps the selection on its interface, and an
  // armed interface 1 goes on listening through its new handle; when the
  // selected device goes, reading stops and the form is laid out for the
  // first interface, so a Write sends its report, of its size. (Before, the
  // menu fell back to item 0 with the form kept, and an 8-byte report went
  // to the new target's interface 0.)
  void selectionStaysOnItsInterface() {
    const DeviceID a = fixture.backend().attach(Model::PinworthA, "1000");
    const DeviceID b = fixture.backend().attach(Model::PinworthB, "2000");
    fixture.loadAndWake();
    fixture.chooseInterface(1);
    fixture.click("readButton"); // arms A's interface 1
    int searches = fixture.backend().searchCount();
    fixture.backend().detach(fixture.backend().attach(Model::PinworthB, "9"));
    settle(searches, 2);
    QCOMPARE(selectedTitle(), "PinworthA Interface 1 (SN 1000)");
    fixture.backend().sendInputReport(a, 1, {5, 1, 2, 3, 4, 5, 6, 7});
    QTRY_COMPARE(fixture.log()->reportCount(), 1);

    fixture.chooseInterface(2);
    fixture.click("readButton"); // polls B's interface 0
    searches = fixture.backend().searchCount();
    fixture.backend().detach(a);
    settle(searches);
    QCOMPARE(selectedTitle(), "PinworthB Interface 0 (SN 2000)");
    QVERIFY(fixture.controller()->reading().isPolling());

    fixture.chooseInterface(1);
    fixture.setFormTexts("04", {"01", "00", "00", "00", "00", "00", "00"});
    searches = fixture.backend().searchCount();
    fixture.backend().detach(b);
    const DeviceID c = fixture.backend().attach(Model::PinworthB, "3000");
    settle(searches, 2);
    QCOMPARE(selectedTitle(), "PinworthB Interface 0 (SN 3000)");
    QVERIFY(!fixture.controller()->reading().isPolling());
    QCOMPARE(fixture.controller()->reportForm().reportSize(), 4);
    fixture.click("writeButton");
    QCOMPARE(fixture.backend().received(c, 0), Wire({{1, 0, 0, 0}}));
  }

  void statusBarSaysWhatItDoes() {
    fixture.loadAndWake();
    QCOMPARE(activity(), "No Pinworth device attached");
    const DeviceID a = fixture.backend().attach(Model::PinworthA, "1000");
    QTRY_COMPARE(activity(), "PinworthA (SN 1000) Interface 0");
    fixture.click("readButton");
    const QRegularExpression polling("^Polling PinworthA \\(SN 1000\\) "
                                     "Interface 0 - (1[0-9]|2[01])/s$");
    QTRY_VERIFY2(polling.match(activity()).hasMatch(), qPrintable(activity()));
    fixture.click("readButton");
    fixture.chooseInterface(1);
    fixture.click("readButton");
    QCOMPARE(activity(), "Listening on PinworthA (SN 1000) Interface 1 - 0 "
                         "reports");
    for (int i = 0; i < 3; ++i)
      fixture.backend().sendInputReport(a, 1, {5, 1, 2, 3, 4, 5, 6, 7});
    QTRY_COMPARE(activity(), "Listening on PinworthA (SN 1000) Interface 1 - 3 "
                             "reports");
    QTRY_COMPARE(statusLabel("rowsLabel"), "4 rows");

    // An arm that fails says why.
    fixture.backend().faults(a, 1).openStatus = hid::kErrorNotPermitted;
    fixture.backend().detach(fixture.backend().attach(Model::PinworthB, "9"));
    QTRY_VERIFY(activity().startsWith("Could not listen on PinworthA (SN "
                                      "1000) Interface 1: permission denied"));
  }

  // The byte field, or the report ID field, whose text stopped the write gets
  // the focus; fields are marked while their text is not a byte.
  void badTextLeadsToItsField() {
    fixture.startWithPinworthA();
    fixture.chooseInterface(1);
    fixture.setFormTexts("zz", {"01", "02", "1ff"});
    QVERIFY(ReportFormFields::isMarked(fixture.byteField(2)));
    QVERIFY(ReportFormFields::isMarked(fixture.reportIDField()));
    QVERIFY(!ReportFormFields::isMarked(fixture.byteField(1)));
    AlertAnswerer answerer;
    fixture.click("writeButton");
    QCOMPARE(fixture.window()->focusWidget(), fixture.byteField(2));
    fixture.byteField(2)->setText("ff");
    QVERIFY(!ReportFormFields::isMarked(fixture.byteField(2)));
    fixture.click("writeButton");
    QCOMPARE(fixture.window()->focusWidget(), fixture.reportIDField());
    QCOMPARE(answerer.shown().size(), 2);
    fixture.chooseInterface(0); // disabled fields are not marked
    QVERIFY(!ReportFormFields::isMarked(fixture.reportIDField()));
  }

  // A pasted report spreads over the fields in use from the one pasted into;
  // one that does not fit is refused; Return writes.
  void pastedReportsAndReturn() {
    const DeviceID a = fixture.startWithPinworthA();
    fixture.chooseInterface(1);
    pasteInto(fixture.reportIDField(), "05 01 80 00 00 00 00 00");
    QCOMPARE(fixture.form(), "05 01 80 00 00 00 00 00");
    pasteInto(fixture.byteField(4), "0x0a,0x0b,0x0c");
    pasteInto(fixture.byteField(5), "[5, 1, 128]");
    QCOMPARE(fixture.form(), "05 01 80 00 00 0a 0b 0c");
    QVERIFY(message().startsWith("The pasted report has 3 bytes"));
    QTest::keyClick(fixture.byteField(6), Qt::Key_Return);
    QCOMPARE(fixture.backend().received(a, 1),
             Wire({{5, 1, 0x80, 0, 0, 0x0a, 0x0b, 0x0c}}));

    fixture.chooseInterface(0);
    pasteInto(fixture.byteField(0), "[1, 2, 3, 4]");
    fixture.byteField(1)->clear();
    pasteInto(fixture.byteField(1), "7f");
    QCOMPARE(fixture.byteTexts().mid(0, 4),
             QStringList({"01", "7f", "03", "04"}));
    QTest::keyClick(fixture.byteField(0), Qt::Key_Enter);
    QCOMPARE(fixture.backend().received(a, 0), Wire({{1, 0x7f, 3, 4}}));
  }

  void macroThatDoesNotFitSaysSo() {
    const DeviceID a = fixture.startWithPinworthA();
    fixture.chooseMacro(1); // "Init display" on an interface 0
    QCOMPARE(message(), "\"Init display\" holds a report ID and 7 data bytes, "
                        "but PinworthA (SN 1000) Interface 0 takes 4: choose "
                        "the interface it is for before Write");
    QCOMPARE(fixture.backend().received(a, 0).size(), 0u);
    fixture.chooseInterface(1);
    fixture.window()->statusBar()->clearMessage();
    fixture.chooseMacro(1);
    QCOMPARE(message(), "");
  }

  // Captions take the palette's colours, a dark one too; every control has
  // an accessible name, and the form is walked with Tab and written with
  // Return alone.
  void paletteNamesAndKeyboard() {
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::Active, QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Disabled, QPalette::WindowText,
                  QColor(0x80, 0x80, 0x80));
    QApplication::setPalette(dark);
    const DeviceID a = fixture.startWithPinworthA();
    auto *caption = fixture.window()->findChild<QLabel *>("byte4Caption");
    QCOMPARE(caption->palette().color(QPalette::Disabled, QPalette::WindowText),
             QColor(0x80, 0x80, 0x80));
    QVERIFY(!caption->isEnabled());
    fixture.chooseInterface(1);
    QVERIFY(caption->isEnabled());
    QCOMPARE(caption->palette().color(QPalette::Active, QPalette::WindowText),
             QColor(Qt::white));
    QApplication::setPalette(light);

    QStringList names;
    for (QWidget *widget : {static_cast<QWidget *>(fixture.interfacePopup()),
                            static_cast<QWidget *>(fixture.macroPopup()),
                            static_cast<QWidget *>(fixture.logTable())})
      names << widget->accessibleName();
    names << fixture.reportIDField()->accessibleName();
    for (int i = 0; i < 7; ++i)
      names << fixture.byteField(i)->accessibleName();
    QCOMPARE(names, QStringList({"Interface", "Macro", "Report log",
                                 "Report ID", "Byte 0", "Byte 1", "Byte 2",
                                 "Byte 3", "Byte 4", "Byte 5", "Byte 6"}));

    fixture.window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(fixture.window()));
    fixture.interfacePopup()->setFocus();
    // The menu, the Info button, then the fields in order.
    for (const char *typed : {"", "", "9", "1", "2", "3", "4", "5", "6", "7"}) {
      QWidget *focused = QApplication::focusWidget();
      if (*typed) {
        QVERIFY(qobject_cast<QLineEdit *>(focused));
        static_cast<QLineEdit *>(focused)->selectAll();
        QTest::keyClicks(focused, typed);
      }
      QTest::keyClick(focused, Qt::Key_Tab);
    }
    QTest::keyClick(fixture.byteField(6), Qt::Key_Return);
    QCOMPARE(fixture.backend().received(a, 1),
             Wire({{9, 1, 2, 3, 4, 5, 6, 7}}));
  }

  // Size, column widths and the selected interface come back; the macro
  // list's file is not touched.
  void windowStateComesBack() {
    fixture.backend().attach(Model::PinworthA, "1000");
    fixture.backend().attach(Model::PinworthB, "2000");
    fixture.loadAndWake();
    fixture.window()->resize(931, 702);
    fixture.logTable()->horizontalHeader()->resizeSection(1, 123);
    fixture.chooseInterface(3);
    fixture.close();
    fixture.loadAndWake();
    QCOMPARE(fixture.window()->size(), QSize(931, 702));
    QCOMPARE(fixture.logTable()->horizontalHeader()->sectionSize(1), 123);
    QCOMPARE(selectedTitle(), "PinworthB Interface 1 (SN 2000)");
    QCOMPARE(fixture.controller()->reportForm().reportSize(), 7);
    QVERIFY(!QFileInfo::exists(fixture.session().preferences().filePath()));
  }
};

QTEST_MAIN(TargetingTest)
#include "tst_targeting.moc"
