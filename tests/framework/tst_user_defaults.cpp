#include "framework/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <limits>
#include <sys/resource.h>

namespace {

const ReportRecord kLcdMode{"W", 4, QByteArray::fromHex("01000000000000"),
                            "Enable LCD Mode"};
const ReportRecord kInitDisplay{"W", 5, QByteArray::fromHex("0338010f000000"),
                                "Init display"};

QList<MacroEntry> Entries(const QList<ReportRecord> &records) {
  QList<MacroEntry> entries;
  for (const ReportRecord &record : records)
    entries.append(MacroEntry(record));
  return entries;
}

// Each record as "<R/W> <Id> [<data>] <name>".
QStringList Describe(const QList<ReportRecord> &records) {
  QStringList described;
  for (const ReportRecord &r : records)
    described << QString("%1 %2 [%3] %4")
                     .arg(r.direction)
                     .arg(r.reportID)
                     .arg(QString::fromLatin1(r.data.toHex(' ')), r.name);
  return described;
}

// Each usable entry as its record, each other one as "unusable: <name>".
QStringList Describe(const QList<MacroEntry> &entries) {
  QStringList described;
  for (const MacroEntry &entry : entries)
    described << (entry.record() ? Describe({*entry.record()}).first()
                                 : "unusable: " + entry.name());
  return described;
}

QByteArray ReadAll(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString &path, const QByteArray &contents) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  return file.open(QIODevice::WriteOnly) &&
         file.write(contents) == contents.size();
}

QJsonObject StoredRoot(const QString &path) {
  return QJsonDocument::fromJson(ReadAll(path)).object();
}

} // namespace

class UserDefaultsTest : public QObject {
  Q_OBJECT

  // The preferences file and its directory, in a new home for each test.
  std::unique_ptr<QTemporaryDir> home_;
  QString dir_;
  QString prefs_;

  // The names of the files beside the preferences file, sorted.
  QStringList filesBesidePrefs() const {
    return QDir(dir_).entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                QDir::Hidden);
  }
  QJsonArray storedList() const {
    return StoredRoot(prefs_).value(kDefaultMacrosKey).toArray();
  }

private slots:
  void initTestCase() {
    QCoreApplication::setOrganizationName("PinworthTest");
    QCoreApplication::setApplicationName("tst_user_defaults");
  }

  void init() {
    home_ = std::make_unique<QTemporaryDir>();
    QVERIFY(home_->isValid());
    qputenv("HOME", home_->path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home_->filePath(".config").toLocal8Bit());
    dir_ = home_->filePath(".config/PinworthTest/tst_user_defaults");
    prefs_ = dir_ + "/defaults.json";
    QTest::failOnWarning(QRegularExpression(".*"));
  }

  // The registered list is read while nothing is stored and is never
  // written. Records come back after a restart as written, whatever their
  // bytes, IDs and names; the file is JSON with the data as hex pairs, with
  // nothing left beside it; a stored empty list hides the registered one.
  void firstWritePersistsAcrossRestart() {
    QByteArray allBytes;
    for (int byte = 0; byte < 256; ++byte)
      allBytes.append(char(byte));
    const QList<ReportRecord> records{
        kInitDisplay,
        {"W", -1, QByteArray::fromHex("00ff7f80"), "  blanks kept  "},
        {"R", 0, QByteArray(), QString::fromUtf8("\xc3\xa9t\xc3\xa9 \"x\"\n")},
        {"W", std::numeric_limits<int32_t>::min(), allBytes, ""},
        {"W", std::numeric_limits<int32_t>::max(), QByteArray(1, '\0'), "max"}};
    UserDefaults defaults;
    defaults.registerDefaults({kLcdMode, kInitDisplay});
    QCOMPARE(Describe(defaults.macros()), Describe({kLcdMode, kInitDisplay}));
    defaults.registerDefaults({kLcdMode});
    QCOMPARE(Describe(defaults.macros()), Describe({kLcdMode}));
    QVERIFY(!QFileInfo::exists(home_->filePath(".config")));
    QVERIFY(defaults.setMacros(Entries(records)));

    UserDefaults restarted;
    restarted.registerDefaults({kLcdMode});
    QCOMPARE(Describe(restarted.macros()), Describe(records));
    QCOMPARE(storedList().first(),
             QJsonObject({{"R/W", "W"},
                          {"Id", 5},
                          {"data", "03 38 01 0f 00 00 00"},
                          {"name", "Init display"}}));
    QCOMPARE(filesBesidePrefs(), QStringList({"defaults.json"}));
    QVERIFY(restarted.setMacros({}));
    QVERIFY(UserDefaults().macros().isEmpty());
  }

  void unusableFileIsReportedAndKeptAside_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("reason");
    QTest::newRow("truncated")
        << QByteArray(R"({"default macros": [{"R/W")") << "is not valid JSON";
    QTest::newRow("root is a list")
        << QByteArray(R"([{"R/W": "W"}])") << "does not hold a JSON object";
    QTest::newRow("macros are an object")
        << QByteArray(R"({"default macros": {"0": {}}})") << "holds no list";
  }

  // The registered list is shown meanwhile; the first write renames the file,
  // unchanged, to defaults.json.corrupt-<UTC time>, and says so.
  void unusableFileIsReportedAndKeptAside() {
    QFETCH(QByteArray, contents);
    QFETCH(QString, reason);
    QVERIFY(WriteAll(prefs_, contents));
    UserDefaults defaults;
    defaults.registerDefaults({kLcdMode});
    QTest::ignoreMessage(
        QtWarningMsg,
        QRegularExpression(QRegularExpression::escape(prefs_ + " " + reason)));
    QCOMPARE(Describe(defaults.macros()), Describe({kLcdMode}));
    QCOMPARE(ReadAll(prefs_), contents);

    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression("it was kept as .*"
                                            "defaults.json.corrupt-"));
    QVERIFY(defaults.setMacros(Entries({kInitDisplay})));
    const QStringList aside = filesBesidePrefs().filter(
        QRegularExpression("^defaults\\.json\\.corrupt-\\d{8}T\\d{6}Z$"));
    QCOMPARE(aside.size(), 1);
    QCOMPARE(ReadAll(dir_ + "/" + aside[0]), contents);
    QCOMPARE(Describe(UserDefaults().macros()), Describe({kInitDisplay}));
  }

  void handEditedEntriesAreReadAndKept_data() {
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QString>("read");
    const auto row = [](const char *name, const char *entry, const char *read) {
      QTest::newRow(name) << QByteArray(entry) << QString(read);
    };
    row("packed hex", R"({"R/W":"W","Id":12,"data":"0A0b","name":"p"})",
        "W 12 [0a 0b] p");
    row("blanks in hex, Id 2.0, other key",
        R"({"R/W":"R","Id":2.0,"data":" 0a\tFF\n","name":"","note":1})",
        "R 2 [0a ff] ");
    row("Id is text", R"({"R/W":"W","Id":"4","data":"","name":"t"})",
        "unusable: t");
    row("Id is a fraction", R"({"R/W":"W","Id":1.5,"data":"","name":"f"})",
        "unusable: f");
    row("Id too big", R"({"R/W":"W","Id":2147483648,"data":"","name":"b"})",
        "unusable: b");
    row("split hex pair", R"({"R/W":"W","Id":4,"data":"0 1","name":"s"})",
        "unusable: s");
    row("not an object", "42", "unusable: ");
  }

  // An entry is read in its place between two good ones. Rewriting the list
  // keeps it exactly, and the file's other keys too; deleting entry i, usable
  // or not, removes exactly that one.
  void handEditedEntriesAreReadAndKept() {
    QFETCH(QByteArray, entry);
    QFETCH(QString, read);
    QVERIFY(WriteAll(prefs_, R"({"window": 1, "default macros": [
        {"R/W": "W", "Id": 1, "data": "", "name": "g"},)" +
                                 entry + R"(,
        {"R/W": "R", "Id": 2, "data": "", "name": "h"}]})"));
    const QJsonArray before = storedList();
    QList<MacroEntry> entries = UserDefaults().macros();
    QCOMPARE(Describe(entries), QStringList({"W 1 [] g", read, "R 2 [] h"}));

    entries.removeAt(2);
    entries.append(MacroEntry(kLcdMode));
    QVERIFY(UserDefaults().setMacros(entries));
    QJsonObject after = StoredRoot(prefs_);
    QCOMPARE(after.take(kDefaultMacrosKey).toArray(),
             QJsonArray({before[0], before[1], entries.last().stored()}));
    QCOMPARE(after, QJsonObject({{"window", 1}}));

    entries.removeAt(1);
    QVERIFY(UserDefaults().setMacros(entries));
    QCOMPARE(storedList(), QJsonArray({before[0], entries.last().stored()}));
  }

  void failedWriteLeavesTheOldFileWhole() {
    UserDefaults defaults;
    QVERIFY(defaults.setMacros(Entries({kLcdMode})));
    const QByteArray before = ReadAll(prefs_);

    // Files may grow no larger than the old one, so the new, longer list fails
    // partway through its write.
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const rlimit small{rlim_t(before.size()), saved.rlim_max};
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Cannot write"));
    const bool stored =
        defaults.setMacros(Entries({kLcdMode, kInitDisplay, kInitDisplay}));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!stored);
    QCOMPARE(ReadAll(prefs_), before);
    QCOMPARE(filesBesidePrefs(), QStringList({"defaults.json"}));
  }
};

QTEST_GUILESS_MAIN(UserDefaultsTest)
#include "tst_user_defaults.moc"
