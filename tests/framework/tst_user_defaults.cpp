#include "UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

char *toString(const ReportRecord &record) {
  return QTest::toString(QStringLiteral("{%1, %2, %3, \"%4\"}")
                             .arg(record.direction)
                             .arg(record.reportID)
                             .arg(QString::fromLatin1(record.data.toHex(' ')))
                             .arg(record.name));
}

namespace {

const ReportRecord kLcdMode{"W", 4, QByteArray::fromHex("01000000000000"),
                            "Enable LCD Mode"};
const ReportRecord kInitDisplay{"W", 5, QByteArray::fromHex("0338010f000000"),
                                "Init display"};
const ReportRecord kShortReport{"W", -1, QByteArray::fromHex("00ff7f80"),
                                "  four bytes, blanks kept  "};

QList<MacroEntry> Entries(const QList<ReportRecord> &records) {
  QList<MacroEntry> entries;
  for (const ReportRecord &record : records)
    entries.append(MacroEntry(record));
  return entries;
}

// The records of the usable entries, and a null record for each other one.
QList<ReportRecord> Records(const QList<MacroEntry> &entries) {
  QList<ReportRecord> records;
  for (const MacroEntry &entry : entries)
    records.append(entry.record().value_or(ReportRecord{}));
  return records;
}

QByteArray ReadAll(const QString &path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  return file.readAll();
}

bool WriteAll(const QString &path, const QByteArray &contents) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  return file.open(QIODevice::WriteOnly) &&
         file.write(contents) == contents.size();
}

QJsonArray StoredList(const QString &path) {
  return QJsonDocument::fromJson(ReadAll(path))
      .object()
      .value(kDefaultMacrosKey)
      .toArray();
}

} // namespace

class UserDefaultsTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase();
  void init();
  void cleanup();

  void standardFileIsPerUserAndApplication();
  void registeredListIsReadWhenNothingIsStored();
  void registeredListIsNeverWritten();
  void firstWritePersistsAcrossRestart();
  void storedEmptyListHidesRegisteredList();
  void recordsRoundTrip();
  void fileIsReadableJsonWithHexData();
  void handWrittenHexDataIsRead();
  void otherKeysOfTheFileAreKept();
  void unusableFileIsKeptAsideBeforeTheFirstWrite_data();
  void unusableFileIsKeptAsideBeforeTheFirstWrite();
  void unusableFileIsReportedOncePerState();
  void unreadableFileIsKeptAside();
  void unreadableByPermissionIsKeptAside();
  void badEntriesAreKeptInPlace();
  void deletingAnEntryRemovesExactlyThatEntry();
  void writeLeavesNoTemporaryFile();
  void failedWriteLeavesTheOldFileWhole();

private:
  QString configDir() const { return home_->filePath(".config"); }
  QString prefsPath() const {
    return configDir() + "/PinworthTest/tst_user_defaults/defaults.json";
  }
  QStringList filesBesidePrefs() const {
    return QDir(QFileInfo(prefsPath()).absolutePath())
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
  }

  std::unique_ptr<QTemporaryDir> home_;
};

void UserDefaultsTest::initTestCase() {
  QCoreApplication::setOrganizationName("PinworthTest");
  QCoreApplication::setApplicationName("tst_user_defaults");
}

void UserDefaultsTest::init() {
  home_ = std::make_unique<QTemporaryDir>();
  QVERIFY(home_->isValid());
  qputenv("HOME", home_->path().toLocal8Bit());
  qputenv("XDG_CONFIG_HOME", configDir().toLocal8Bit());
  QTest::failOnWarning(QRegularExpression(".*"));
}

void UserDefaultsTest::cleanup() {
  home_.reset();
}

void UserDefaultsTest::standardFileIsPerUserAndApplication() {
  QCOMPARE(UserDefaults::standardFilePath(), prefsPath());
  QCOMPARE(UserDefaults().filePath(), prefsPath());
}

void UserDefaultsTest::registeredListIsReadWhenNothingIsStored() {
  UserDefaults defaults;
  QVERIFY(defaults.macros().isEmpty());
  defaults.registerDefaults({kLcdMode, kInitDisplay});
  QCOMPARE(Records(defaults.macros()),
           QList<ReportRecord>({kLcdMode, kInitDisplay}));
  defaults.registerDefaults({kInitDisplay});
  QCOMPARE(Records(defaults.macros()), QList<ReportRecord>({kInitDisplay}));
}

void UserDefaultsTest::registeredListIsNeverWritten() {
  UserDefaults defaults;
  defaults.registerDefaults({kLcdMode, kInitDisplay});
  defaults.macros();
  QVERIFY(!QFileInfo::exists(configDir()));

  QVERIFY(defaults.setMacros(Entries({kShortReport})));
  QCOMPARE(StoredList(prefsPath()).size(), 1);
  defaults.registerDefaults({kLcdMode});
  QCOMPARE(StoredList(prefsPath()).size(), 1);
  QCOMPARE(Records(defaults.macros()), QList<ReportRecord>({kShortReport}));
}

void UserDefaultsTest::firstWritePersistsAcrossRestart() {
  {
    UserDefaults defaults;
    defaults.registerDefaults({kLcdMode, kInitDisplay});
    QList<MacroEntry> list = defaults.macros();
    list.append(MacroEntry(kShortReport));
    QVERIFY(defaults.setMacros(list));
  }
  UserDefaults restarted;
  restarted.registerDefaults({kLcdMode, kInitDisplay});
  QCOMPARE(Records(restarted.macros()),
           QList<ReportRecord>({kLcdMode, kInitDisplay, kShortReport}));

  restarted.registerDefaults({kInitDisplay, kLcdMode});
  QCOMPARE(Records(restarted.macros()),
           QList<ReportRecord>({kLcdMode, kInitDisplay, kShortReport}));
}

void UserDefaultsTest::storedEmptyListHidesRegisteredList() {
  UserDefaults defaults;
  defaults.registerDefaults({kLcdMode});
  QVERIFY(defaults.setMacros({}));
  UserDefaults restarted;
  restarted.registerDefaults({kLcdMode});
  QVERIFY(restarted.macros().isEmpty());
}

void UserDefaultsTest::recordsRoundTrip() {
  QByteArray allBytes;
  for (int byte = 0; byte < 256; ++byte)
    allBytes.append(char(byte));
  const QList<ReportRecord> records{
      kShortReport,
      {"W", 255, QByteArray::fromHex("ff00ff00ff00ff"), ""},
      {"R", 0, QByteArray(), QString::fromUtf8("\xc3\xa9t\xc3\xa9 \"x\"\n")},
      {"W", std::numeric_limits<int32_t>::min(), allBytes, "all"},
      {"W", std::numeric_limits<int32_t>::max(), QByteArray(1, '\0'), "max"},
  };
  QVERIFY(UserDefaults().setMacros(Entries(records)));
  const QList<MacroEntry> read = UserDefaults().macros();
  QCOMPARE(Records(read), records);
  for (const MacroEntry &entry : read)
    QVERIFY(entry.isValid());
}

void UserDefaultsTest::fileIsReadableJsonWithHexData() {
  QVERIFY(UserDefaults().setMacros(Entries({kInitDisplay, kShortReport})));
  const QJsonArray list = StoredList(prefsPath());
  QCOMPARE(list.size(), 2);
  const QJsonObject first = list[0].toObject();
  QCOMPARE(first.keys(), QStringList({"Id", "R/W", "data", "name"}));
  QCOMPARE(first.value("R/W").toString(), "W");
  QCOMPARE(first.value("Id").toInt(), 5);
  QCOMPARE(first.value("data").toString(), "03 38 01 0f 00 00 00");
  QCOMPARE(first.value("name").toString(), "Init display");
  QCOMPARE(list[1].toObject().value("Id").toInt(), -1);
  QCOMPARE(list[1].toObject().value("data").toString(), "00 ff 7f 80");
  QVERIFY(ReadAll(prefsPath()).contains('\n'));
}

void UserDefaultsTest::handWrittenHexDataIsRead() {
  QVERIFY(WriteAll(prefsPath(), R"({"default macros": [
      {"R/W": "W", "Id": 12, "data": "0100000000000A", "name": "packed"},
      {"R/W": "W", "Id": 1, "data": " 0a\tFF\n", "name": "spaced"},
      {"R/W": "W", "Id": 2.0, "data": "", "name": "empty"}]})"));
  QCOMPARE(Records(UserDefaults().macros()),
           QList<ReportRecord>(
               {{"W", 12, QByteArray::fromHex("0100000000000a"), "packed"},
                {"W", 1, QByteArray::fromHex("0aff"), "spaced"},
                {"W", 2, QByteArray(), "empty"}}));
}

void UserDefaultsTest::otherKeysOfTheFileAreKept() {
  QVERIFY(
      WriteAll(prefsPath(), R"({"window": {"x": 10}, "default macros": []})"));
  QVERIFY(UserDefaults().setMacros(Entries({kLcdMode})));
  const QJsonObject root =
      QJsonDocument::fromJson(ReadAll(prefsPath())).object();
  QCOMPARE(root.value("window").toObject().value("x").toInt(), 10);
  QCOMPARE(root.value(kDefaultMacrosKey).toArray().size(), 1);
}

void UserDefaultsTest::unusableFileIsKeptAsideBeforeTheFirstWrite_data() {
  QTest::addColumn<QByteArray>("contents");
  QTest::addColumn<QString>("reason");
  QTest::newRow("not JSON")
      << QByteArray("default macros = 3") << "is not valid JSON";
  QTest::newRow("truncated")
      << QByteArray(R"({"default macros": [{"R/W")") << "is not valid JSON";
  QTest::newRow("empty file") << QByteArray() << "is not valid JSON";
  QTest::newRow("binary") << QByteArray("\x00\xff\xfe\x01", 4)
                          << "is not valid JSON";
  QTest::newRow("bad UTF-8")
      << QByteArray("{\"a\": \"\xff\xfe\"}") << "is not valid JSON";
  QTest::newRow("root is a list")
      << QByteArray(R"([{"R/W": "W"}])") << "does not hold a JSON object";
  QTest::newRow("root is a string")
      << QByteArray(R"("macros")") << "is not valid JSON";
  QTest::newRow("root is null") << QByteArray("null") << "is not valid JSON";
  QTest::newRow("macros are a string")
      << QByteArray(R"({"default macros": "none"})") << "holds no list";
  QTest::newRow("macros are an object")
      << QByteArray(R"({"default macros": {"0": {}}})") << "holds no list";
}

void UserDefaultsTest::unusableFileIsKeptAsideBeforeTheFirstWrite() {
  QFETCH(QByteArray, contents);
  QFETCH(QString, reason);
  QVERIFY(WriteAll(prefsPath(), contents));
  UserDefaults defaults;
  defaults.registerDefaults({kLcdMode, kInitDisplay});

  QTest::ignoreMessage(QtWarningMsg,
                       QRegularExpression(QRegularExpression::escape(
                           prefsPath() + " " + reason)));
  QCOMPARE(Records(defaults.macros()),
           QList<ReportRecord>({kLcdMode, kInitDisplay}));
  QCOMPARE(ReadAll(prefsPath()), contents);

  QTest::ignoreMessage(
      QtWarningMsg,
      QRegularExpression("it was kept as .*defaults\\.json\\.corrupt-"));
  QVERIFY(defaults.setMacros(Entries({kInitDisplay})));
  const QStringList aside =
      filesBesidePrefs().filter(QRegularExpression("^defaults\\.json\\.corrupt-"
                                                   "\\d{8}T\\d{6}Z$"));
  QCOMPARE(aside.size(), 1);
  QCOMPARE(ReadAll(QFileInfo(prefsPath()).absolutePath() + "/" + aside[0]),
           contents);
  QCOMPARE(Records(UserDefaults().macros()),
           QList<ReportRecord>({kInitDisplay}));

  QVERIFY(defaults.setMacros(Entries({kLcdMode})));
  QCOMPARE(filesBesidePrefs().size(), 2);
}

void UserDefaultsTest::unusableFileIsReportedOncePerState() {
  QVERIFY(WriteAll(prefsPath(), "{"));
  UserDefaults defaults;
  QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not valid JSON"));
  defaults.macros();
  defaults.macros();

  QTest::ignoreMessage(QtWarningMsg, QRegularExpression("it was kept as"));
  QVERIFY(defaults.setMacros({}));
  QVERIFY(WriteAll(prefsPath(), "["));
  QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not valid JSON"));
  defaults.macros();

  // Kept aside again, most likely within the same second: both are kept.
  QTest::ignoreMessage(QtWarningMsg, QRegularExpression("it was kept as"));
  QVERIFY(defaults.setMacros({}));
  QStringList asideContents;
  const QString dir = QFileInfo(prefsPath()).absolutePath();
  for (const QString &name : filesBesidePrefs().filter("corrupt"))
    asideContents.append(QString::fromLatin1(ReadAll(dir + "/" + name)));
  asideContents.sort();
  QCOMPARE(asideContents, QStringList({"[", "{"}));
}

void UserDefaultsTest::unreadableFileIsKeptAside() {
  // A directory in the file's place cannot be opened as a file, also not by
  // root, for whom permission bits do not stop a read.
  QVERIFY(QDir().mkpath(prefsPath()));
  QVERIFY(WriteAll(prefsPath() + "/inside", "kept"));
  UserDefaults defaults;
  defaults.registerDefaults({kLcdMode});
  QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot be read"));
  QCOMPARE(Records(defaults.macros()), QList<ReportRecord>({kLcdMode}));

  QTest::ignoreMessage(QtWarningMsg, QRegularExpression("it was kept as"));
  QVERIFY(defaults.setMacros(Entries({kInitDisplay})));
  const QStringList aside = filesBesidePrefs().filter("corrupt");
  QCOMPARE(aside.size(), 1);
  QCOMPARE(ReadAll(QFileInfo(prefsPath()).absolutePath() + "/" + aside[0] +
                   "/inside"),
           QByteArray("kept"));
  QCOMPARE(Records(UserDefaults().macros()),
           QList<ReportRecord>({kInitDisplay}));
}

void UserDefaultsTest::unreadableByPermissionIsKeptAside() {
  QVERIFY(WriteAll(prefsPath(), R"({"default macros": []})"));
  QVERIFY(QFile::setPermissions(prefsPath(), QFileDevice::WriteOwner));
  if (QFile file(prefsPath()); file.open(QIODevice::ReadOnly))
    QSKIP("This user reads files whatever their permissions (root); "
          "unreadableFileIsKeptAside covers an unreadable file");
  UserDefaults defaults;
  defaults.registerDefaults({kLcdMode});
  QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot be read"));
  QCOMPARE(Records(defaults.macros()), QList<ReportRecord>({kLcdMode}));
  QTest::ignoreMessage(QtWarningMsg, QRegularExpression("it was kept as"));
  QVERIFY(defaults.setMacros({}));
  QCOMPARE(filesBesidePrefs().filter("corrupt").size(), 1);
}

void UserDefaultsTest::badEntriesAreKeptInPlace() {
  const QByteArray contents = R"({"default macros": [
      {"R/W": "W", "Id": 4, "data": "01 00", "name": "good"},
      {"R/W": "W", "Id": 4, "name": "no data"},
      {"R/W": "W", "Id": "4", "data": "01", "name": "Id is text"},
      {"R/W": "W", "Id": 1.5, "data": "01", "name": "Id is a fraction"},
      {"R/W": "W", "Id": 2147483648, "data": "01", "name": "Id too big"},
      {"R/W": "X", "Id": 4, "data": "01", "name": "bad direction"},
      {"R/W": "W", "Id": 4, "data": "0", "name": "odd digits"},
      {"R/W": "W", "Id": 4, "data": "zz", "name": "not hex"},
      {"R/W": "W", "Id": 4, "data": "0 1", "name": "split pair"},
      {"R/W": "W", "Id": 4, "data": [1, 2], "name": "data is a list"},
      {"R/W": "W", "Id": 4, "data": "01", "name": 7},
      {"R/W": "W", "Id": 4, "data": "01"},
      null, 42, "text", [], {},
      {"R/W": "R", "Id": -1, "data": "0102", "name": "", "note": "extra"}]})";
  QVERIFY(WriteAll(prefsPath(), contents));
  const QList<MacroEntry> entries = UserDefaults().macros();
  const QJsonArray stored = StoredList(prefsPath());
  QCOMPARE(entries.size(), stored.size());
  QList<bool> valid;
  QStringList names;
  for (qsizetype i = 0; i < entries.size(); ++i) {
    QCOMPARE(entries[i].stored(), stored[i]);
    valid.append(entries[i].isValid());
    names.append(entries[i].name());
  }
  QList<bool> expectedValid(entries.size(), false);
  expectedValid.first() = expectedValid.last() = true;
  QCOMPARE(valid, expectedValid);
  QCOMPARE(names,
           QStringList({"good", "no data", "Id is text", "Id is a fraction",
                        "Id too big", "bad direction", "odd digits", "not hex",
                        "split pair", "data is a list", "", "", "", "", "", "",
                        "", ""}));
  QCOMPARE(*entries.last().record(),
           (ReportRecord{"R", -1, QByteArray::fromHex("0102"), ""}));

  QList<MacroEntry> extended = entries;
  extended.append(MacroEntry(kLcdMode));
  QVERIFY(UserDefaults().setMacros(extended));
  QJsonArray expected = stored;
  expected.append(extended.last().stored());
  QCOMPARE(StoredList(prefsPath()), expected);
}

void UserDefaultsTest::deletingAnEntryRemovesExactlyThatEntry() {
  QVERIFY(WriteAll(prefsPath(), R"({"default macros": [
      {"R/W": "W", "Id": 4, "data": "01", "name": "first"},
      "junk",
      {"R/W": "W", "Id": 5, "data": "02", "name": "third"},
      {"Id": 6},
      {"R/W": "W", "Id": 7, "data": "03", "name": "fifth"}]})"));
  const QJsonArray before = StoredList(prefsPath());
  for (qsizetype index : {3, 1}) {
    QList<MacroEntry> list = UserDefaults().macros();
    list.removeAt(index);
    QVERIFY(UserDefaults().setMacros(list));
  }
  QCOMPARE(StoredList(prefsPath()),
           QJsonArray({before[0], before[2], before[4]}));
}

void UserDefaultsTest::writeLeavesNoTemporaryFile() {
  UserDefaults defaults;
  for (int round = 0; round < 3; ++round)
    QVERIFY(defaults.setMacros(Entries({kLcdMode, kInitDisplay})));
  QCOMPARE(filesBesidePrefs(), QStringList({"defaults.json"}));
}

void UserDefaultsTest::failedWriteLeavesTheOldFileWhole() {
  UserDefaults defaults;
  QVERIFY(defaults.setMacros(Entries({kLcdMode})));
  const QByteArray before = ReadAll(prefsPath());

  // Files may grow no larger than the old one, so the new, longer list fails
  // partway through its write.
  rlimit saved{};
  QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = rlim_t(before.size());
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
  QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Cannot write"));
  const bool stored =
      defaults.setMacros(Entries({kLcdMode, kInitDisplay, kShortReport}));
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  QVERIFY(!stored);
  QCOMPARE(ReadAll(prefsPath()), before);
  QCOMPARE(filesBesidePrefs(), QStringList({"defaults.json"}));
  QCOMPARE(Records(defaults.macros()), QList<ReportRecord>({kLcdMode}));
}

QTEST_GUILESS_MAIN(UserDefaultsTest)
#include "tst_user_defaults.moc"
