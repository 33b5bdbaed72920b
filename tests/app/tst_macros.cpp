// Macros: the six registered defaults, loading a macro into the form, adding
// a written report under a chosen name, deleting, the stored list across
// restarts, preferences files that are corrupt or edited by hand, and the
// default macros driving a simulated device's display.
#include "ExplorerFixture.h"
#include "ModalTestSupport.h"
#include "UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <memory>

using hid::sim::DeviceID;
using hid::sim::Model;

namespace {

const QStringList kDefaultNames = {
    "Enable LCD Mode",       "Init display",
    "Write to display",      "Move to first LCD pos.",
    "Read 4 bytes from LCD", "Enable Infra red reception (Pinworth B)"};

QString prefsPath() {
  return UserDefaults::standard().filePath();
}

QStringList filesBesidePrefs() {
  return QDir(QFileInfo(prefsPath()).absolutePath())
      .entryList(QDir::Files | QDir::Hidden);
}

QByteArray readFile(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writePrefs(const QByteArray &contents) {
  QVERIFY(QDir().mkpath(QFileInfo(prefsPath()).absolutePath()));
  QFile file(prefsPath());
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(contents), contents.size());
}

QJsonArray storedList() {
  return QJsonDocument::fromJson(readFile(prefsPath()))
      .object()
      .value(kDefaultMacrosKey)
      .toArray();
}

QStringList storedNames() {
  QStringList names;
  for (const QJsonValue &macro : storedList())
    names << macro.toObject().value(kMacroNameKey).toString();
  return names;
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
      auto *field = panel->findChild<QLineEdit *>("nameField");
      QVERIFY(field);
      QTest::keyClicks(field, text);
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

} // namespace

class MacrosTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase();
  void init();
  void cleanup();

  void firstStartShowsTheDefaultsAndWritesNothing();
  void choosingAMacroFillsTheForm_data();
  void choosingAMacroFillsTheForm();
  void addsAWrittenReportUnderTheChosenName();
  void addedReportWithoutIDLoadsFourBytes();
  void readReportIsNeverAdded();
  void cancelledPanelChangesNothing();
  void emptyAndRepeatedNamesAreNames();
  void deleteKeepsTheFirstMacro();
  void deletedListSurvivesARestart();
  void addedListSurvivesARestart();
  void unusableFileIsKeptAsideAtTheFirstChange_data();
  void unusableFileIsKeptAsideAtTheFirstChange();
  void handEditedEntriesNeverBreakTheMenuOrTheForm();
  void deletingAHandEditedEntryKeepsTheOthers();
  void itemBeyondTheStoredListDoesNothing();
  void firstFiveDefaultMacrosPutTestOnTheDisplay();

private:
  void restart();
  // Writes a report without report ID through the form, then selects its log
  // row.
  void writeAndSelect(const QStringList &bytes);
  void setFormTexts(const QString &text);

  ExplorerFixture fixture;
  DeviceID deviceA = 0;
  std::unique_ptr<ModalWatchdog> watchdog;
};

void MacrosTest::initTestCase() {
  fixture.setUp();
}

void MacrosTest::init() {
  watchdog = std::make_unique<ModalWatchdog>();
  deviceA = fixture.backend().attach(Model::PinworthA, "1000");
  fixture.loadAndWake();
  QVERIFY(prefsPath().startsWith(fixture.homePath() + '/'));
}

void MacrosTest::cleanup() {
  QVERIFY(!watchdog->fired());
  fixture.close();
  fixture.detachAllDevices();
  QDir(QFileInfo(prefsPath()).absolutePath()).removeRecursively();
}

void MacrosTest::restart() {
  fixture.close();
  fixture.loadAndWake();
}

void MacrosTest::writeAndSelect(const QStringList &bytes) {
  fixture.typeBytes(bytes);
  fixture.click("writeButton");
  fixture.flushLog();
  const int row = fixture.log()->count() - 1;
  QCOMPARE(fixture.log()->record(row).direction, QStringLiteral("W"));
  fixture.clickLogRow(row);
  QVERIFY(fixture.addMacroButton()->isEnabled());
}

void MacrosTest::setFormTexts(const QString &text) {
  fixture.reportIDField()->setText(text);
  for (int i = 0; i < 7; ++i)
    fixture.byteField(i)->setText(text);
}

void MacrosTest::firstStartShowsTheDefaultsAndWritesNothing() {
  QCOMPARE(fixture.macroTitles(), kDefaultNames);
  QCOMPARE(fixture.macroPopup()->currentIndex(), 0);
  QVERIFY(!QFileInfo::exists(prefsPath()));
  QCOMPARE(filesBesidePrefs(), QStringList());
  QVERIFY(fixture.backend().received(deviceA, 0).empty());
  QVERIFY(fixture.backend().received(deviceA, 1).empty());
}

void MacrosTest::choosingAMacroFillsTheForm_data() {
  QTest::addColumn<int>("macro");
  QTest::addColumn<QString>("reportID");
  QTest::addColumn<QStringList>("bytes");
  const QStringList zeros = {"00", "00", "00", "00", "00", "00"};
  QTest::newRow("Enable LCD Mode") << 0 << "04" << QStringList{"01"} + zeros;
  QTest::newRow("Init display")
      << 1 << "05" << QStringList{"03", "38", "01", "0f", "00", "00", "00"};
  QTest::newRow("Write to display")
      << 2 << "05" << QStringList{"84", "54", "65", "73", "74", "00", "00"};
  QTest::newRow("Move to first LCD pos.")
      << 3 << "05" << QStringList{"01", "80", "00", "00", "00", "00", "00"};
  QTest::newRow("Read 4 bytes from LCD")
      << 4 << "06" << QStringList{"84"} + zeros;
  QTest::newRow("Enable Infra red reception (Pinworth B)")
      << 5 << "0c" << QStringList{"01"} + zeros;
}

// The short layout stays: fields 4 to 6 are filled but stay disabled.
void MacrosTest::choosingAMacroFillsTheForm() {
  QFETCH(int, macro);
  QFETCH(QString, reportID);
  QFETCH(QStringList, bytes);
  fixture.chooseInterface(0);
  const QList<bool> enabled = fixture.byteEnabled();
  fixture.chooseMacro(macro);
  QCOMPARE(fixture.reportIDField()->text(), reportID);
  QCOMPARE(fixture.byteTexts(), bytes);
  QCOMPARE(fixture.interfacePopup()->currentIndex(), 0);
  QCOMPARE(fixture.controller()->currentReportSize(), 4);
  QCOMPARE(fixture.byteEnabled(), enabled);
  QVERIFY(fixture.backend().received(deviceA, 0).empty());
  QCOMPARE(fixture.log()->count(), 0);
}

void MacrosTest::addsAWrittenReportUnderTheChosenName() {
  writeAndSelect({"01", "02", "03", "04"});
  setFormTexts("ee");
  NamePanelAnswerer answerer("  My macro ", "OK");
  fixture.click("addMacroButton");
  QCOMPARE(answerer.shown(), 1);
  QCOMPARE(fixture.macroTitles(), kDefaultNames + QStringList{"  My macro "});
  QCOMPARE(fixture.macroPopup()->currentIndex(), 0);
  QCOMPARE(fixture.byteTexts(), QStringList(7, "ee"));
  QCOMPARE(storedNames(), kDefaultNames + QStringList{"  My macro "});
  QCOMPARE(storedList().last().toObject(),
           (QJsonObject{{"R/W", "W"},
                        {"Id", -1},
                        {"data", "01 02 03 04"},
                        {"name", "  My macro "}}));
}

void MacrosTest::addedReportWithoutIDLoadsFourBytes() {
  writeAndSelect({"0a", "0b", "0c", "0d"});
  {
    NamePanelAnswerer answerer("Four", "OK");
    fixture.click("addMacroButton");
  }
  fixture.chooseInterface(1);
  setFormTexts("ee");
  fixture.chooseMacro(6);
  QCOMPARE(fixture.reportIDField()->text(), QStringLiteral("ee"));
  QCOMPARE(fixture.byteTexts(),
           QStringList({"0a", "0b", "0c", "0d", "ee", "ee", "ee"}));
}

void MacrosTest::readReportIsNeverAdded() {
  fixture.click("readButton");
  fixture.click("readButton");
  fixture.flushLog();
  QCOMPARE(fixture.log()->record(0).direction, QStringLiteral("R"));
  fixture.clickLogRow(0);
  QVERIFY(fixture.addMacroButton()->isEnabled());
  NamePanelAnswerer answerer("Read", "OK");
  fixture.click("addMacroButton");
  QTest::qWait(50);
  QCOMPARE(answerer.shown(), 0);
  QCOMPARE(fixture.macroTitles(), kDefaultNames);
  QVERIFY(!QFileInfo::exists(prefsPath()));
}

void MacrosTest::cancelledPanelChangesNothing() {
  writeAndSelect({"01", "02", "03", "04"});
  fixture.chooseMacro(2);
  NamePanelAnswerer answerer("Cancelled", "Cancel");
  fixture.click("addMacroButton");
  QCOMPARE(answerer.shown(), 1);
  QCOMPARE(fixture.macroTitles(), kDefaultNames);
  QCOMPARE(fixture.macroPopup()->currentIndex(), 2);
  QVERIFY(!QFileInfo::exists(prefsPath()));
}

void MacrosTest::emptyAndRepeatedNamesAreNames() {
  writeAndSelect({"01", "02", "03", "04"});
  {
    NamePanelAnswerer answerer("", "OK");
    fixture.click("addMacroButton");
  }
  writeAndSelect({"05", "06", "07", "08"});
  {
    NamePanelAnswerer answerer("Twin", "OK");
    fixture.click("addMacroButton");
  }
  writeAndSelect({"09", "0a", "0b", "0c"});
  {
    NamePanelAnswerer answerer("Twin", "OK");
    fixture.click("addMacroButton");
  }
  QCOMPARE(fixture.macroTitles(),
           kDefaultNames + QStringList({"", "Twin", "Twin"}));
  fixture.chooseMacro(7);
  QCOMPARE(fixture.byteTexts().mid(0, 4),
           QStringList({"05", "06", "07", "08"}));
  fixture.chooseMacro(8);
  QCOMPARE(fixture.byteTexts().mid(0, 4),
           QStringList({"09", "0a", "0b", "0c"}));
}

void MacrosTest::deleteKeepsTheFirstMacro() {
  fixture.chooseMacro(0);
  fixture.click("deleteMacroButton");
  QCOMPARE(fixture.macroTitles(), kDefaultNames);
  QVERIFY(!QFileInfo::exists(prefsPath()));

  for (int left = 5; left >= 1; --left) {
    fixture.chooseMacro(1);
    fixture.click("deleteMacroButton");
    QCOMPARE(fixture.macroTitles().size(), left);
    QCOMPARE(fixture.macroPopup()->currentIndex(), 0);
  }
  fixture.chooseMacro(0);
  fixture.click("deleteMacroButton");
  QCOMPARE(fixture.macroTitles(), QStringList{"Enable LCD Mode"});
  QCOMPARE(storedNames(), QStringList{"Enable LCD Mode"});
}

void MacrosTest::deletedListSurvivesARestart() {
  setFormTexts("ee");
  fixture.chooseMacro(3);
  const QStringList form = fixture.byteTexts();
  fixture.click("deleteMacroButton");
  const QStringList five = {kDefaultNames[0], kDefaultNames[1],
                            kDefaultNames[2], kDefaultNames[4],
                            kDefaultNames[5]};
  QCOMPARE(fixture.macroTitles(), five);
  QCOMPARE(fixture.macroPopup()->currentIndex(), 0);
  QCOMPARE(fixture.byteTexts(), form);
  QCOMPARE(storedNames(), five);

  restart();
  QCOMPARE(fixture.macroTitles(), five);
  fixture.chooseMacro(3);
  QCOMPARE(fixture.reportIDField()->text(), QStringLiteral("06"));
  QCOMPARE(fixture.byteTexts()[0], QStringLiteral("84"));
}

void MacrosTest::addedListSurvivesARestart() {
  writeAndSelect({"01", "02", "03", "04"});
  {
    NamePanelAnswerer answerer("Kept", "OK");
    fixture.click("addMacroButton");
  }
  restart();
  QCOMPARE(fixture.macroTitles(), kDefaultNames + QStringList{"Kept"});
  fixture.chooseMacro(6);
  QCOMPARE(fixture.byteTexts().mid(0, 4),
           QStringList({"01", "02", "03", "04"}));
}

void MacrosTest::unusableFileIsKeptAsideAtTheFirstChange_data() {
  QTest::addColumn<QByteArray>("contents");
  QTest::newRow("not JSON") << QByteArray("{\"default macros\": [ {");
  QTest::newRow("empty") << QByteArray();
  QTest::newRow("a list at the top") << QByteArray("[1, 2]");
  QTest::newRow("no list under the key")
      << QByteArray("{\"default macros\": 5}");
}

void MacrosTest::unusableFileIsKeptAsideAtTheFirstChange() {
  QFETCH(QByteArray, contents);
  fixture.close();
  writePrefs(contents);
  fixture.loadAndWake();
  QCOMPARE(fixture.macroTitles(), kDefaultNames);
  fixture.chooseMacro(1);
  QCOMPARE(fixture.reportIDField()->text(), QStringLiteral("05"));
  QCOMPARE(readFile(prefsPath()), contents);

  fixture.chooseMacro(2);
  fixture.click("deleteMacroButton");
  QCOMPARE(fixture.macroTitles().size(), 5);
  QCOMPARE(storedNames().size(), 5);
  const QStringList files = filesBesidePrefs();
  QCOMPARE(files.size(), 2);
  const QString aside =
      files[0] == QFileInfo(prefsPath()).fileName() ? files[1] : files[0];
  QVERIFY2(aside.startsWith("defaults.json.corrupt-"), qPrintable(aside));
  QCOMPARE(readFile(QFileInfo(prefsPath()).absolutePath() + '/' + aside),
           contents);
}

namespace {

const QByteArray kHandEdited = R"({"default macros": [
  {"R/W": "W", "Id": 4, "data": "01 00 00 00 00 00 00", "name": "Enable LCD Mode"},
  42,
  "just text",
  {"name": "No other keys"},
  {"R/W": "W", "Id": 5, "data": "zz", "name": "Bad hex"},
  {"R/W": "W", "Id": -1, "data": "0a", "name": "One byte"},
  {"R/W": "W", "Id": 9, "data": "0b0c", "name": "Two bytes"},
  {"R/W": "R", "Id": 3, "data": "01 02 03 04 05 06 07", "name": "Read report"},
  {"R/W": "W", "Id": 5, "data": "01 02 03 04 05 06 07 08 09", "name": "Nine bytes"},
  {"R/W": "W", "Id": 2, "data": "", "name": "No data"},
  [1, 2],
  null
], "kept": true})";

} // namespace

// Items that are not usable records load nothing; records with fewer bytes
// than the form has fields fill only those fields.
void MacrosTest::handEditedEntriesNeverBreakTheMenuOrTheForm() {
  fixture.close();
  writePrefs(kHandEdited);
  fixture.loadAndWake();
  QCOMPARE(fixture.macroTitles(),
           QStringList({"Enable LCD Mode", "", "", "No other keys", "Bad hex",
                        "One byte", "Two bytes", "Read report", "Nine bytes",
                        "No data", "", ""}));
  fixture.chooseInterface(1);
  const QStringList unchanged(7, "ee");
  struct Expected {
    int macro;
    QString reportID;
    QStringList bytes;
  };
  const QList<Expected> expected = {
      {1, "ee", unchanged},
      {2, "ee", unchanged},
      {3, "ee", unchanged},
      {4, "ee", unchanged},
      {5, "ee", {"0a", "ee", "ee", "ee", "ee", "ee", "ee"}},
      {6, "09", {"0b", "0c", "ee", "ee", "ee", "ee", "ee"}},
      {7, "ee", unchanged},
      {8, "05", {"01", "02", "03", "04", "05", "06", "07"}},
      {9, "02", unchanged},
      {10, "ee", unchanged},
      {11, "ee", unchanged},
  };
  for (const Expected &item : expected) {
    setFormTexts("ee");
    fixture.chooseMacro(item.macro);
    QCOMPARE(fixture.reportIDField()->text(), item.reportID);
    QCOMPARE(fixture.byteTexts(), item.bytes);
  }
  QCOMPARE(readFile(prefsPath()), kHandEdited);
}

void MacrosTest::deletingAHandEditedEntryKeepsTheOthers() {
  fixture.close();
  writePrefs(kHandEdited);
  fixture.loadAndWake();
  QJsonArray remaining = QJsonDocument::fromJson(kHandEdited)
                             .object()
                             .value("default macros")
                             .toArray();
  for (int macro : {1, 3, 10}) {
    fixture.chooseMacro(macro);
    fixture.click("deleteMacroButton");
    remaining.removeAt(macro);
    QCOMPARE(storedList(), remaining);
  }
  const QJsonObject root =
      QJsonDocument::fromJson(readFile(prefsPath())).object();
  QCOMPARE(root.value("kept"), QJsonValue(true));
  QCOMPARE(fixture.macroTitles().size(), int(remaining.size()));
}

// The file changed behind the menu's back: its last items are past the list.
void MacrosTest::itemBeyondTheStoredListDoesNothing() {
  writePrefs(R"({"default macros": [
    {"R/W": "W", "Id": 4, "data": "01", "name": "Only one"},
    {"R/W": "W", "Id": 5, "data": "02", "name": "And two"}]})");
  const QByteArray stored = readFile(prefsPath());
  QCOMPARE(fixture.macroTitles(), kDefaultNames);
  setFormTexts("ee");
  fixture.chooseMacro(5);
  QCOMPARE(fixture.reportIDField()->text(), QStringLiteral("ee"));
  QCOMPARE(fixture.byteTexts(), QStringList(7, "ee"));
  fixture.click("deleteMacroButton");
  QCOMPARE(readFile(prefsPath()), stored);
  fixture.chooseMacro(1);
  QCOMPARE(fixture.reportIDField()->text(), QStringLiteral("05"));
}

// The display's LCD mode, its initialisation, "Test" written, the cursor
// home, and a read of 4 characters, whose answer arrives as an interrupt
// report on the armed interface 1.
void MacrosTest::firstFiveDefaultMacrosPutTestOnTheDisplay() {
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
  QTRY_COMPARE(fixture.log()->count(), 6);
  fixture.flushLog();
  for (int row = 0; row < 5; ++row)
    QCOMPARE(fixture.rowTexts(row)[0], QStringLiteral("W"));
  QCOMPARE(fixture.rowTexts(5),
           QStringList({"R", "0x06", "0x84", "0x54", "0x65", "0x73", "0x74",
                        "0x00", "0x00"}));
}

QTEST_MAIN(MacrosTest)
#include "tst_macros.moc"
