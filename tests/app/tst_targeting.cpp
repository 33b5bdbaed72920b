// The explorer keeps its aim and says what it does: the menu and the
// selection across device changes, the status bar, alerts that say why and lead
// to the field, pasted reports and Return, macros that do not fit, the palette
// and the keyboard, and the window's state across restarts.
#include "app/ReportFormFields.h"
#include "tests/app/ExplorerFixture.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSet>
#include <QStatusBar>
#include <QTest>

using hid::sim::DeviceID;
using hid::sim::Model;
class TargetingTest : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;

  QString selectedTitle() { return fixture.interfacePopup()->currentText(); }
  QString statusLabel(const char *name) {
    return fixture.window()->findChild<QLabel *>(name)->text();
  }
  QString activity() { return statusLabel("activityLabel"); }
  QString message() {
    auto *bar = fixture.widget<QLabel>("messageText");
    return bar && bar->isVisibleTo(fixture.window()) ? bar->text() : QString();
  }
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

  // The target never moves by itself. Another device's arrival or removal
  // changes neither the selection nor the form. When the target's device
  // goes, no interface is selected, Write and Read are off and Return sends
  // nothing anywhere; the log and the window say so. When the same device
  // comes back it is selected again, the form as it was, and reading
  // resumes as it was. (Before, the menu fell back to another interface
  // with the form kept, and the next Return wrote to that other board.)
  void theTargetNeverMovesByItself() {
    const DeviceID a = fixture.backend().attach(Model::PinworthA, "1000");
    const DeviceID b = fixture.backend().attach(Model::PinworthB, "2000");
    fixture.loadAndWake();
    fixture.chooseInterface(1);
    fixture.setFormTexts("04", {"01", "02", "03", "04", "05", "06", "07"});
    fixture.click("readButton"); // listens to A's interface 1
    const QString form = fixture.form();
    int searches = fixture.backend().searchCount();
    fixture.backend().detach(fixture.backend().attach(Model::PinworthB, "9"));
    settle(searches, 2);
    QCOMPARE(selectedTitle(), "PinworthA Interface 1 (SN 1000)");
    QCOMPARE(fixture.form(), form);

    searches = fixture.backend().searchCount();
    fixture.backend().detach(a);
    settle(searches);
    QCOMPARE(fixture.interfacePopup()->currentIndex(), -1);
    QCOMPARE(fixture.interfacePopup()->placeholderText(),
             "PinworthA (SN 1000) Interface 1 (unplugged)");
    QCOMPARE(fixture.form(), form);
    QVERIFY(activity().startsWith("PinworthA (SN 1000) Interface 1 was "
                                  "unplugged"));
    QCOMPARE(message(), "PinworthA (SN 1000) Interface 1 was unplugged");
    QVERIFY(!fixture.widget("writeButton")->isEnabled());
    QVERIFY(!fixture.widget("readButton")->isEnabled());
    // No selection stands for no interface, not for the first one listed.
    QVERIFY(!fixture.widget<QLabel>("reportCheckLabel")->isVisible());
    QTest::keyClick(fixture.byteField(0), Qt::Key_Return);
    QVERIFY(message().startsWith("PinworthA (SN 1000) Interface 1 was "
                                 "unplugged: nothing was sent"));
    QCOMPARE(fixture.backend().received(b, 0).size(), 0u);
    QCOMPARE(fixture.backend().received(b, 1).size(), 0u);

    searches = fixture.backend().searchCount();
    fixture.backend().plugBack(a);
    settle(searches);
    QCOMPARE(selectedTitle(), "PinworthA Interface 1 (SN 1000)");
    QCOMPARE(fixture.form(), form);
    QCOMPARE(message(), "");
    QVERIFY(fixture.widget("writeButton")->isEnabled());
    fixture.backend().sendInputReport(a, 1, {5, 1, 2, 3, 4, 5, 6, 7});
    QTRY_COMPARE(fixture.records().size(), 1);
    QStringList events;
    for (int i = 0; i < fixture.log()->reportCount(); ++i)
      if (!fixture.log()->isReport(i))
        events << fixture.log()->cellText(
            i, explorer::LogTableModel::kDecodedColumn);
    QCOMPARE(events, QStringList({"started listening: PinworthA (SN 1000) "
                                  "Interface 1",
                                  "unplugged: PinworthA (SN 1000)",
                                  "stopped listening: PinworthA (SN 1000) "
                                  "Interface 1",
                                  "plugged in: PinworthA (SN 1000)",
                                  "started listening: PinworthA (SN 1000) "
                                  "Interface 1"}));

    // Picking another interface makes it the target: polling B, then B
    // goes and comes back, and polling goes on.
    fixture.chooseInterface(
        fixture.interfacePopup()->findText("PinworthB Interface 0 (SN 2000)"));
    fixture.click("readButton");
    QVERIFY(fixture.controller()->reading().isPolling());
    searches = fixture.backend().searchCount();
    fixture.backend().detach(b);
    settle(searches);
    QVERIFY(!fixture.controller()->reading().isPolling());
    searches = fixture.backend().searchCount();
    fixture.backend().plugBack(b);
    settle(searches);
    QCOMPARE(selectedTitle(), "PinworthB Interface 0 (SN 2000)");
    QVERIFY(fixture.controller()->reading().isPolling());
    QCOMPARE(fixture.widget("readButton")->text(), "Stop Reading");
  }

  // Without a device: an empty menu that says so, the short layout, no
  // alert.
  void statusBarSaysWhatItDoes() {
    fixture.loadAndWake();
    QCOMPARE(activity(), "No Pinworth device attached");
    QCOMPARE(fixture.interfacePopup()->count(), 0);
    QCOMPARE(fixture.interfacePopup()->placeholderText(),
             "No Pinworth device attached");
    QCOMPARE(fixture.byteEnabled(),
             QList<bool>({true, true, true, true, false, false, false}));
    QVERIFY(!fixture.reportIDField()->isEnabled());
    fixture.click("readButton");
    QCOMPARE(message(), "No Pinworth device attached: there is nothing to "
                        "read.");
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
    // 4 reports, and 4 events: plugged in, polling started and stopped,
    // listening started.
    QTRY_COMPARE(statusLabel("rowsLabel"), "8 rows");

    // An arm that fails says why.
    fixture.backend().faults(a, 1).openStatus = hid::kErrorNotPermitted;
    fixture.backend().detach(fixture.backend().attach(Model::PinworthB, "9"));
    QTRY_VERIFY(activity().startsWith("Could not listen on PinworthA (SN "
                                      "1000) Interface 1: permission denied"));
  }

  // Each plug rebuilds the menu, in list order.
  void menuFollowsPlugs() {
    const DeviceID a = fixture.backend().attach(Model::PinworthA, "1000");
    fixture.loadAndWake();
    fixture.backend().attach(Model::PinworthB, "-7");
    QTRY_COMPARE(fixture.interfacePopup()->count(), 4);
    QCOMPARE(fixture.titles(fixture.interfacePopup()),
             QStringList({"PinworthA Interface 0 (SN 1000)",
                          "PinworthA Interface 1 (SN 1000)",
                          "PinworthB Interface 0 (SN -7)",
                          "PinworthB Interface 1 (SN -7)"}));
    fixture.backend().detach(a);
    QTRY_COMPARE(fixture.titles(fixture.interfacePopup()),
                 QStringList({"PinworthB Interface 0 (SN -7)",
                              "PinworthB Interface 1 (SN -7)"}));
  }

  // The byte field, or the report ID field, whose text stopped the write gets
  // the focus; fields are marked while their text is not a byte.
  void badTextLeadsToItsField() {
    fixture.startWithPinworthA();
    fixture.chooseInterface(1);
    fixture.setFormTexts("zz", {"01", "02", "1ff"});
    QVERIFY(explorer::ReportFormFields::isMarked(fixture.byteField(2)));
    QVERIFY(explorer::ReportFormFields::isMarked(fixture.reportIDField()));
    QVERIFY(!explorer::ReportFormFields::isMarked(fixture.byteField(1)));
    AlertAnswerer answerer;
    fixture.click("writeButton");
    QCOMPARE(fixture.window()->focusWidget(), fixture.byteField(2));
    fixture.byteField(2)->setText("ff");
    QVERIFY(!explorer::ReportFormFields::isMarked(fixture.byteField(2)));
    fixture.click("writeButton");
    QCOMPARE(fixture.window()->focusWidget(), fixture.reportIDField());
    QCOMPARE(answerer.shown().size(), 2);
    fixture.chooseInterface(0); // disabled fields are not marked
    QVERIFY(!explorer::ReportFormFields::isMarked(fixture.reportIDField()));
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
    fixture.waitForDevice(fixture.controller());

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

    // Every mnemonic of the window and its menus is its own, and Alt+R
    // presses Read, whose title carries none. Panels that are windows of
    // their own have their own.
    QStringList texts;
    for (const QAbstractButton *button :
         fixture.window()->findChildren<QAbstractButton *>())
      if (button->window() == fixture.window())
        texts << button->text();
    for (const QLabel *label : fixture.window()->findChildren<QLabel *>())
      if (label->buddy() && label->window() == fixture.window())
        texts << label->text();
    for (const QAction *menu : fixture.window()->menuBar()->actions())
      texts << menu->text();
    QStringList keys;
    for (const QString &text : texts)
      if (const QKeySequence key = QKeySequence::mnemonic(text); !key.isEmpty())
        keys << key.toString();
    QCOMPARE(QSet<QString>(keys.begin(), keys.end()).size(), keys.size());
    QTest::keyClick(fixture.window(), Qt::Key_R, Qt::AltModifier);
    QTRY_COMPARE(fixture.widget("readButton")->text(), "Stop Reading");
  }

  // Size, column widths and the selected interface come back, but a
  // column too narrow for its texts in the font of now grows to fit them;
  // the macro list's file is not touched.
  void windowStateComesBack() {
    fixture.backend().attach(Model::PinworthA, "1000");
    fixture.backend().attach(Model::PinworthB, "2000");
    fixture.loadAndWake();
    fixture.window()->resize(731, 560);
    const int byte = explorer::LogTableModel::kFirstByteColumn;
    fixture.logTable()->horizontalHeader()->resizeSection(1, 123);
    fixture.logTable()->horizontalHeader()->resizeSection(byte, 6);
    fixture.chooseInterface(3);
    fixture.close();
    fixture.loadAndWake();
    QCOMPARE(fixture.window()->size(), QSize(731, 560));
    QCOMPARE(fixture.logTable()->horizontalHeader()->sectionSize(1), 123);
    QVERIFY(fixture.logTable()->horizontalHeader()->sectionSize(byte) >=
            fixture.logTable()->fontMetrics().horizontalAdvance("0x00") +
                2 * explorer::LogView::kCellPadding);
    QCOMPARE(selectedTitle(), "PinworthB Interface 1 (SN 2000)");
    QCOMPARE(fixture.controller()->reportForm().reportSize(), 7);
    QVERIFY(!QFileInfo::exists(fixture.process().preferences().filePath()));
  }
};

QTEST_MAIN(TargetingTest)
#include "tst_targeting.moc"
