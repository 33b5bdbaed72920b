// Macros: the six registered defaults, loading a macro into the form, adding
// a written report under a chosen name, deleting, the stored list across
// restarts, preferences edited by hand, and the default macros driving a
// simulated device's display.
#include "tests/app/ExplorerFixture.h"
#include "tests/support/ProcessLimits.h"
#include "tests/support/WholeFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QTest>

namespace {

const QStringList kDefaultNames = {
    "Enable LCD Mode",       "Init display",
    "Write to display",      "Move to first LCD pos.",
    "Read 4 bytes from LCD", "Enable Infra red reception (Pinworth B)"};

QString prefsPath() {
  return core::UserDefaults::standardFilePath();
}

QDir prefsDir() {
  return QFileInfo(prefsPath()).absoluteDir();
}

} // namespace

class MacrosTest : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;
  hid::sim::DeviceID deviceA = 0;

  void restart() {
    fixture.close();
    fixture.loadAndWake();
  }
  QStringList macroTitles() { return fixture.titles(fixture.macroPopup()); }
  QString message() {
    auto *bar = fixture.widget<QLabel>("messageText");
    return bar->isVisibleTo(fixture.window()) ? bar->text() : QString();
  }
  // Writes a report without report ID through the form, selects its row.
  void writeAndSelect(const QStringList &bytes) {
    fixture.setFormTexts("", bytes);
    fixture.click("writeButton");
    fixture.flushLog();
    fixture.clickLogRow(fixture.log()->reportCount() - 1);
  }

private slots:
  void initTestCase() { fixture.setUp(); }
  void init() {
    deviceA = fixture.startWithPinworthA();
    QVERIFY(prefsPath().startsWith(fixture.homePath() + '/'));
  }
  void cleanup() {
    fixture.cleanup();
    prefsDir().removeRecursively();
  }

  // All seven fields take a macro, also in the short layout, which stays;
  // nothing is sent, logged or written.
  void defaultsAreShownAndLoadIntoTheForm() {
    QCOMPARE(macroTitles(), kDefaultNames);
    fixture.chooseMacro(1);
    QCOMPARE(fixture.form(), "05 03 38 01 0f 00 00 00");
    fixture.chooseMacro(5);
    QCOMPARE(fixture.form(), "0c 01 00 00 00 00 00 00");
    QCOMPARE(fixture.controller()->reportForm().reportSize(), 4);
    QVERIFY(!fixture.byteField(4)->isEnabled());
    QCOMPARE(fixture.backend().received(deviceA, 0).size(), 0u);
    QCOMPARE(fixture.log()->reportCount(), 0);
    QVERIFY(!prefsDir().exists());
  }

  // The name is taken exactly as typed. A report without report ID loads its
  // four bytes and leaves the report ID and the other fields alone.
  void addedReportIsStoredAndSurvivesARestart() {
    writeAndSelect({"0a", "0b", "0c", "0d"});
    NamePanelAnswerer answerer("  My macro ", "OK");
    fixture.click("addMacroButton");
    const QStringList titles = kDefaultNames + QStringList{"  My macro "};
    QCOMPARE(macroTitles(), titles);
    restart();
    QCOMPARE(macroTitles(), titles);
    fixture.chooseInterface(1);
    fixture.setFormTexts("ee", QStringList(7, "ee"));
    fixture.chooseMacro(6);
    QCOMPARE(fixture.form(), "ee 0a 0b 0c 0d ee ee ee");
  }

  void refusedAddChangesNothing_data() {
    QTest::addColumn<bool>("readRow");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("panels");
    QTest::addColumn<QString>("alert");
    QTest::newRow("read report") << true << "Refused"
                                 << "OK" << 0 << "";
    QTest::newRow("cancelled panel") << false << "Refused"
                                     << "Cancel" << 1 << "";
    QTest::newRow("name past the size limit")
        << false << QString(5000, 'n') << "OK" << 1
        << "Macro not saved | The macro \"" + QString(40, 'n') + QChar(0x2026) +
               "\" was not stored: it would take more than 4096 bytes in "
               "the preferences file. | OK";
  }
  void refusedAddChangesNothing() {
    QFETCH(bool, readRow);
    QFETCH(QString, typed);
    QFETCH(QString, how);
    QFETCH(int, panels);
    QFETCH(QString, alert);
    if (readRow) {
      fixture.click("readButton");
      fixture.click("readButton");
      fixture.flushLog();
      fixture.clickLogRow(0);
    } else {
      writeAndSelect({"01", "02", "03", "04"});
    }
    QCOMPARE(fixture.addMacroEnabled(), !readRow); // an event row keeps none
    fixture.chooseMacro(2);
    NamePanelAnswerer answerer(typed, how);
    AlertAnswerer alerts;
    fixture.click("addMacroButton");
    QTest::qWait(50);
    QCOMPARE(answerer.fieldTexts().size(), panels);
    QCOMPARE(alerts.shown(),
             alert.isEmpty() ? QStringList() : QStringList{alert});
    QCOMPARE(macroTitles(), kDefaultNames);
    QCOMPARE(fixture.macroPopup()->currentIndex(), 2);
    QVERIFY(!prefsDir().exists());
  }

  void deleteKeepsTheFirstMacro() {
    fixture.chooseMacro(0);
    fixture.click("deleteMacroButton");
    QCOMPARE(macroTitles(), kDefaultNames);
    QVERIFY(!prefsDir().exists());
    for (int left = 5; left >= 1; --left) {
      fixture.chooseMacro(1);
      fixture.click("deleteMacroButton");
      QCOMPARE(macroTitles(),
               kDefaultNames.mid(0, 1) + kDefaultNames.mid(7 - left));
      QCOMPARE(fixture.macroPopup()->currentIndex(), 0);
    }
    QCOMPARE(message(), "Macro \"Enable Infra red reception (Pinworth B)\" "
                        "deleted. Ctrl+Z brings it back.");
    fixture.chooseMacro(0);
    fixture.click("deleteMacroButton");
    // Ctrl+Z brings them back, the latest first, each where it was.
    QWidget *deleteButton = fixture.widget("deleteMacroButton");
    deleteButton->setFocus();
    for (int undo = 0; undo < 6; ++undo)
      QTest::keyClick(deleteButton, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(macroTitles(), kDefaultNames);
    QCOMPARE(message(), "Macro \"Init display\" is back.");
    restart();
    QCOMPARE(macroTitles(), kDefaultNames);
  }

  // Items that are not usable records load nothing; a record fills only the
  // fields it has bytes for; one past the size limit is not even read (its
  // name of a megabyte stays on disk), and the window says so. Deleting one
  // entry keeps the others as they are; Ctrl+Z brings back even the one too
  // large to read.
  void handEditedEntriesNeverBreakTheMenuTheFormOrADelete() {
    const QByteArray tooLarge =
        "{\"R/W\": \"W\", \"Id\": 1, \"data\": \"\", \"name\": \"" +
        QByteArray(1 << 20, 'n') + "\"}";
    const QByteArray handEdited =
        "{\"default macros\": [\n"
        "  {\"R/W\": \"W\", \"Id\": 4, \"data\": \"01 00 00 00 00 00 00\", "
        "\"name\": \"LCD\"},\n"
        "  42,\n"
        "  {\"R/W\": \"W\", \"Id\": 9, \"data\": \"0b0c\", \"name\": "
        "\"Two bytes\"},\n  " +
        tooLarge + "]}";
    QVERIFY(WriteAll(prefsPath(), handEdited));
    restart();
    QCOMPARE(
        macroTitles(),
        QStringList({"LCD", "", "Two bytes",
                     QString("(not loaded: %1 bytes)").arg(tooLarge.size())}));
    QCOMPARE(message(), "A macro in " + prefsPath() +
                            " is longer than 4096 bytes: it is kept in the "
                            "file as it is, but not loaded.");
    fixture.chooseInterface(1);
    QStringList forms;
    for (int macro = 1; macro < 3; ++macro) {
      fixture.setFormTexts("ee", QStringList(7, "ee"));
      fixture.chooseMacro(macro);
      forms << fixture.form();
    }
    QCOMPARE(forms, QStringList({"ee ee ee ee ee ee ee ee",
                                 "09 0b 0c ee ee ee ee ee"}));
    QCOMPARE(ReadAll(prefsPath()), handEdited);
    fixture.chooseMacro(1);
    fixture.click("deleteMacroButton");
    QVERIFY(ReadAll(prefsPath()).contains(tooLarge));
    restart();
    QCOMPARE(macroTitles().mid(0, 2), QStringList({"LCD", "Two bytes"}));
    fixture.chooseMacro(2);
    fixture.click("deleteMacroButton");
    QVERIFY(!ReadAll(prefsPath()).contains("nnnn"));
    QTest::keyClick(fixture.widget("deleteMacroButton"), Qt::Key_Z,
                    Qt::ControlModifier);
    QVERIFY(ReadAll(prefsPath()).contains(",\n    " + tooLarge + "\n  ]"));
  }

  // Nothing is stored, and the alert says why, the system's reason
  // included; the menu shows what is.
  void failedSaveIsShown_data() {
    QTest::addColumn<bool>("folderExists");
    QTest::addColumn<QString>("reason");
    QTest::newRow("read-only folder")
        << true << "its lock file cannot be made (permission denied)";
    QTest::newRow("folder that cannot be made")
        << false << "its folder cannot be made (Permission denied)";
  }
  void failedSaveIsShown() {
    QFETCH(bool, folderExists);
    QFETCH(QString, reason);
    QStringList shown = kDefaultNames;
    if (folderExists) {
      fixture.chooseMacro(5);
      fixture.click("deleteMacroButton"); // stores the other five
      shown.removeLast();
    }
    writeAndSelect({"01", "02", "03", "04"});
    QDir readOnly = prefsDir();
    if (!folderExists) {
      readOnly.cdUp();
      QVERIFY(readOnly.mkpath("."));
    }
    QVERIFY(QFile::setPermissions(readOnly.path(),
                                  QFile::ReadOwner | QFile::ExeOwner));
    NamePanelAnswerer namer("Mine", "OK");
    AlertAnswerer answerer;
    {
      WithoutPermissionOverride asUser;
      fixture.click("addMacroButton");
    }
    QFile::setPermissions(readOnly.path(), QFile::ReadOwner |
                                               QFile::WriteOwner |
                                               QFile::ExeOwner);
    QCOMPARE(answerer.shown(),
             QStringList{"Macro not saved | The macro \"Mine\" was not "
                         "stored: " +
                         prefsPath() + ": " + reason + ". | OK"});
    QCOMPARE(macroTitles(), shown);
  }

  // Another explorer's change reaches the menu. An item chosen or deleted
  // after the list changed under the menu, before the menu followed, loads
  // or deletes nothing, and the menu shows the new list.
  void followsAnotherExplorer() {
    fixture.chooseMacro(5);
    fixture.click("deleteMacroButton"); // stores the other five
    const auto otherExplorer = [](const QString &index) {
      QCOMPARE(QProcess::execute(PREFS_TOOL, {prefsPath(), "delete", index}),
               0);
    };
    otherExplorer("2");
    QTRY_COMPARE(macroTitles(),
                 (QStringList{kDefaultNames[0], kDefaultNames[1],
                              kDefaultNames[3], kDefaultNames[4]}));
    otherExplorer("1");
    fixture.setFormTexts("ee", QStringList(7, "ee"));
    fixture.chooseMacro(1);
    QCOMPARE(fixture.form(), "ee ee ee ee ee ee ee ee");
    QCOMPARE(macroTitles(), (QStringList{kDefaultNames[0], kDefaultNames[3],
                                         kDefaultNames[4]}));
    otherExplorer("1");
    fixture.chooseMacro(1);
    fixture.click("deleteMacroButton");
    QCOMPARE(macroTitles(), (QStringList{kDefaultNames[0], kDefaultNames[4]}));
    QCOMPARE(ReadAll(prefsPath()).count("\"name\""), 2);
  }
};

QTEST_MAIN(MacrosTest)
#include "tst_macros.moc"
