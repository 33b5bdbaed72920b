// Macros: the six registered defaults, loading a macro into the form, adding
// a written report under a chosen name, deleting, the stored list across
// restarts, preferences edited by hand, and the default macros driving a
// simulated device's display.
#include "tests/app/ExplorerFixture.h"
#include "tests/support/ProcessLimits.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

namespace {

const QStringList kDefaultNames = {
    "Enable LCD Mode",       "Init display",
    "Write to display",      "Move to first LCD pos.",
    "Read 4 bytes from LCD", "Enable Infra red reception (Pinworth B)"};

QString prefsPath() {
  return UserDefaults::standardFilePath();
}

QDir prefsDir() {
  return QFileInfo(prefsPath()).absoluteDir();
}

QByteArray readPrefs() {
  QFile file(prefsPath());
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writePrefs(const QByteArray &contents) {
  QVERIFY(prefsDir().mkpath("."));
  QFile file(prefsPath());
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(contents), contents.size());
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
    QTest::addColumn<int>("panels");
    QTest::newRow("read report") << true << 0;
    QTest::newRow("cancelled panel") << false << 1;
  }

  void refusedAddChangesNothing() {
    QFETCH(bool, readRow);
    QFETCH(int, panels);
    if (readRow) {
      fixture.click("readButton");
      fixture.click("readButton");
      fixture.flushLog();
      fixture.clickLogRow(0);
    } else {
      writeAndSelect({"01", "02", "03", "04"});
    }
    fixture.chooseMacro(2);
    NamePanelAnswerer answerer("Refused", readRow ? "OK" : "Cancel");
    fixture.click("addMacroButton");
    QTest::qWait(50);
    QCOMPARE(answerer.fieldTexts().size(), panels);
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
    fixture.chooseMacro(0);
    fixture.click("deleteMacroButton");
    restart();
    QCOMPARE(macroTitles(), kDefaultNames.mid(0, 1));
  }

  // Items that are not usable records load nothing; a record fills only the
  // fields it has bytes for. Deleting one entry keeps the others.
  void handEditedEntriesNeverBreakTheMenuTheFormOrADelete() {
    const QByteArray handEdited = R"({"default macros": [
      {"R/W": "W", "Id": 4, "data": "01 00 00 00 00 00 00", "name": "LCD"},
      42,
      {"R/W": "W", "Id": 9, "data": "0b0c", "name": "Two bytes"}]})";
    writePrefs(handEdited);
    restart();
    QCOMPARE(macroTitles(), QStringList({"LCD", "", "Two bytes"}));
    fixture.chooseInterface(1);
    QStringList forms;
    for (int macro = 1; macro < 3; ++macro) {
      fixture.setFormTexts("ee", QStringList(7, "ee"));
      fixture.chooseMacro(macro);
      forms << fixture.form();
    }
    QCOMPARE(forms, QStringList({"ee ee ee ee ee ee ee ee",
                                 "09 0b 0c ee ee ee ee ee"}));
    QCOMPARE(readPrefs(), handEdited);
    fixture.chooseMacro(1);
    fixture.click("deleteMacroButton");
    restart();
    QCOMPARE(macroTitles(), QStringList({"LCD", "Two bytes"}));
  }

  // Nothing is stored, and the alert says why; the menu shows what is.
  void failedSaveIsShown() {
    fixture.chooseMacro(5);
    fixture.click("deleteMacroButton"); // stores the other five
    writeAndSelect({"01", "02", "03", "04"});
    QVERIFY(QFile::setPermissions(prefsDir().path(),
                                  QFile::ReadOwner | QFile::ExeOwner));
    NamePanelAnswerer namer("Mine", "OK");
    AlertAnswerer answerer;
    {
      WithoutPermissionOverride asUser;
      fixture.click("addMacroButton");
    }
    QFile::setPermissions(prefsDir().path(), QFile::ReadOwner |
                                                 QFile::WriteOwner |
                                                 QFile::ExeOwner);
    QCOMPARE(
        answerer.shown(),
        QStringList{"Macro not saved | The macro \"Mine\" was not stored: " +
                    prefsPath() +
                    ": its lock file cannot be made (permission "
                    "denied). | OK"});
    QCOMPARE(macroTitles(), kDefaultNames.mid(0, 5));
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
    QCOMPARE(readPrefs().count("\"name\""), 2);
  }
};

QTEST_MAIN(MacrosTest)
#include "tst_macros.moc"
