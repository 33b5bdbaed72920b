// Macros: the six registered defaults, loading a macro into the form, adding
// a written report under a chosen name, deleting, the stored list across
// restarts, preferences files that are corrupt or edited by hand, and the
// default macros driving a simulated device's display.
#include "ExplorerFixture.h"
#include "framework/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using hid::sim::DeviceID;

namespace {

const QStringList kDefaultNames = {
    "Enable LCD Mode",       "Init display",
    "Write to display",      "Move to first LCD pos.",
    "Read 4 bytes from LCD", "Enable Infra red reception (Pinworth B)"};

QString prefsPath() {
  return UserDefaults::standard().filePath();
}

QDir prefsDir() {
  return QFileInfo(prefsPath()).absoluteDir();
}

QByteArray readFile(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writePrefs(const QByteArray &contents) {
  QVERIFY(prefsDir().mkpath("."));
  QFile file(prefsPath());
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(contents), contents.size());
}

// Answers every macro name panel that comes up while it exists: types text
// into its field, then clicks the button with the title.
class NamePanelAnswerer {
public:
  NamePanelAnswerer(const QString &text, const QString &buttonTitle) {
    poll_.setInterval(5);
    QObject::connect(&poll_, &QTimer::timeout, [this, text, buttonTitle] {
      QWidget *panel = QApplication::activeModalWidget();
      if (!panel || panel->objectName() != "MacroName")
        return;
      ++shown_;
      QTest::keyClicks(panel->findChild<QLineEdit *>("nameField"), text);
      for (QPushButton *button : panel->findChildren<QPushButton *>())
        if (button->text() == buttonTitle)
          QTest::mouseClick(button, Qt::LeftButton);
    });
    poll_.start();
  }
  int shown() const { return shown_; }

private:
  QTimer poll_;
  int shown_ = 0;
};

const QByteArray kHandEdited = R"({"default macros": [
  {"R/W": "W", "Id": 4, "data": "01 00 00 00 00 00 00", "name": "Enable LCD Mode"},
  42,
  {"R/W": "W", "Id": 5, "data": "zz", "name": "Bad hex"},
  {"R/W": "W", "Id": -1, "data": "0a", "name": "One byte"},
  {"R/W": "W", "Id": 9, "data": "0b0c", "name": "Two bytes"},
  {"R/W": "W", "Id": 5, "data": "01 02 03 04 05 06 07 08 09", "name": "Nine bytes"}
]})";

} // namespace

class MacrosTest : public QObject {
  Q_OBJECT

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

  void firstStartShowsTheDefaultsAndWritesNothing() {
    QCOMPARE(fixture.titles(fixture.macroPopup()), kDefaultNames);
    QCOMPARE(fixture.macroPopup()->currentIndex(), 0);
    QVERIFY(!prefsDir().exists());
    QCOMPARE(fixture.backend().received(deviceA, 0).size(), 0u);
    QCOMPARE(fixture.backend().received(deviceA, 1).size(), 0u);
  }

  // All seven fields take the macro, also in the short layout, which stays.
  void choosingInitDisplayFillsTheForm() {
    fixture.chooseMacro(1);
    QCOMPARE(fixture.form(), QStringLiteral("05 03 38 01 0f 00 00 00"));
    QCOMPARE(fixture.controller()->currentReportSize(), 4);
    QCOMPARE(fixture.byteEnabled(),
             QList<bool>({true, true, true, true, false, false, false}));
    QCOMPARE(fixture.backend().received(deviceA, 0).size(), 0u);
    QCOMPARE(fixture.log()->reportCount(), 0);
  }

  // The name is taken exactly as typed. A report without report ID loads its
  // four bytes and leaves the report ID and the other fields alone.
  void addedReportIsStoredAndSurvivesARestart() {
    writeAndSelect({"0a", "0b", "0c", "0d"});
    fixture.setFormTexts("ee", QStringList(7, "ee"));
    NamePanelAnswerer answerer("  My macro ", "OK");
    fixture.click("addMacroButton");
    QCOMPARE(answerer.shown(), 1);
    const QStringList titles = kDefaultNames + QStringList{"  My macro "};
    QCOMPARE(fixture.titles(fixture.macroPopup()), titles);
    QCOMPARE(fixture.form(), QStringLiteral("ee ee ee ee ee ee ee ee"));

    restart();
    QCOMPARE(fixture.titles(fixture.macroPopup()), titles);
    fixture.chooseInterface(1);
    fixture.setFormTexts("ee", QStringList(7, "ee"));
    fixture.chooseMacro(6);
    QCOMPARE(fixture.form(), QStringLiteral("ee 0a 0b 0c 0d ee ee ee"));
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
    QCOMPARE(answerer.shown(), panels);
    QCOMPARE(fixture.titles(fixture.macroPopup()), kDefaultNames);
    QCOMPARE(fixture.macroPopup()->currentIndex(), 2);
    QVERIFY(!prefsDir().exists());
  }

  void deleteKeepsTheFirstMacro() {
    fixture.chooseMacro(0);
    fixture.click("deleteMacroButton");
    QCOMPARE(fixture.titles(fixture.macroPopup()), kDefaultNames);
    QVERIFY(!prefsDir().exists());

    for (int left = 5; left >= 1; --left) {
      fixture.chooseMacro(1);
      fixture.click("deleteMacroButton");
      QCOMPARE(fixture.titles(fixture.macroPopup()),
               kDefaultNames.mid(0, 1) + kDefaultNames.mid(7 - left));
      QCOMPARE(fixture.macroPopup()->currentIndex(), 0);
    }
    fixture.chooseMacro(0);
    fixture.click("deleteMacroButton");
    restart();
    QCOMPARE(fixture.titles(fixture.macroPopup()), kDefaultNames.mid(0, 1));
  }

  void unusableFileIsKeptAsideAtTheFirstChange_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("not JSON") << QByteArray("{\"default macros\": [ {");
    QTest::newRow("no list under the key")
        << QByteArray("{\"default macros\": 5}");
  }

  // The defaults are shown and work; the file stays as it is until a change,
  // which keeps it aside under a new name.
  void unusableFileIsKeptAsideAtTheFirstChange() {
    QFETCH(QByteArray, contents);
    writePrefs(contents);
    restart();
    QCOMPARE(fixture.titles(fixture.macroPopup()), kDefaultNames);
    fixture.chooseMacro(1);
    QCOMPARE(fixture.reportIDField()->text(), QStringLiteral("05"));
    QCOMPARE(readFile(prefsPath()), contents);

    fixture.click("deleteMacroButton");
    restart();
    QCOMPARE(fixture.macroPopup()->count(), 5);
    const QStringList aside = prefsDir().entryList({"defaults.json.corrupt-*"});
    QCOMPARE(aside.size(), 1);
    QCOMPARE(readFile(prefsDir().filePath(aside[0])), contents);
  }

  // Items that are not usable records load nothing; a record fills only the
  // fields it has bytes for. Deleting one keeps the others.
  void handEditedEntriesNeverBreakTheMenuTheFormOrADelete() {
    writePrefs(kHandEdited);
    restart();
    QCOMPARE(fixture.titles(fixture.macroPopup()),
             QStringList({"Enable LCD Mode", "", "Bad hex", "One byte",
                          "Two bytes", "Nine bytes"}));
    fixture.chooseInterface(1);
    QStringList forms;
    for (int macro = 1; macro < fixture.macroPopup()->count(); ++macro) {
      fixture.setFormTexts("ee", QStringList(7, "ee"));
      fixture.chooseMacro(macro);
      forms << fixture.form();
    }
    QCOMPARE(forms,
             QStringList({"ee ee ee ee ee ee ee ee", "ee ee ee ee ee ee ee ee",
                          "ee 0a ee ee ee ee ee ee", "09 0b 0c ee ee ee ee ee",
                          "05 01 02 03 04 05 06 07"}));
    QCOMPARE(readFile(prefsPath()), kHandEdited);

    fixture.chooseMacro(1);
    fixture.click("deleteMacroButton");
    restart();
    QCOMPARE(fixture.titles(fixture.macroPopup()),
             QStringList({"Enable LCD Mode", "Bad hex", "One byte", "Two bytes",
                          "Nine bytes"}));
  }

  // The file changed behind the menu's back: its last items are past the list.
  void itemBeyondTheStoredListDoesNothing() {
    writePrefs(R"({"default macros": [
      {"R/W": "W", "Id": 4, "data": "01", "name": "Only one"},
      {"R/W": "W", "Id": 5, "data": "02", "name": "And two"}]})");
    const QByteArray stored = readFile(prefsPath());
    fixture.setFormTexts("ee", QStringList(7, "ee"));
    fixture.chooseMacro(5);
    QCOMPARE(fixture.form(), QStringLiteral("ee ee ee ee ee ee ee ee"));
    fixture.click("deleteMacroButton");
    QCOMPARE(readFile(prefsPath()), stored);
  }

  // The display's LCD mode, its initialisation, "Test" written, the cursor
  // home, and a read of 4 characters, whose answer arrives as an interrupt
  // report on the armed interface 1.
  void firstFiveDefaultMacrosPutTestOnTheDisplay() {
    fixture.chooseInterface(1);
    fixture.click("readButton");
    AlertAnswerer answerer;
    for (int macro = 0; macro < 5; ++macro) {
      fixture.chooseMacro(macro);
      fixture.click("writeButton");
    }
    QCOMPARE(answerer.shown(), QStringList());
    QCOMPARE(fixture.backend().device(deviceA).displayLine(0).substr(0, 4),
             std::string("Test"));
    QTRY_COMPARE(fixture.log()->reportCount(), 6);
    fixture.flushLog();
    for (int row = 0; row < 5; ++row)
      QVERIFY(fixture.rowText(row).startsWith("W|"));
    QCOMPARE(fixture.rowText(5), "R|0x06|0x84|0x54|0x65|0x73|0x74|0x00|0x00");
  }

private:
  void restart() {
    fixture.close();
    fixture.loadAndWake();
  }
  // Writes a report without report ID through the form, then selects its log
  // row.
  void writeAndSelect(const QStringList &bytes) {
    fixture.typeBytes(bytes);
    fixture.click("writeButton");
    fixture.flushLog();
    fixture.clickLogRow(fixture.log()->reportCount() - 1);
  }

  ExplorerFixture fixture;
  DeviceID deviceA = 0;
};

QTEST_MAIN(MacrosTest)
#include "tst_macros.moc"
