// The user defaults on real files: the two layers, a rewrite that keeps every
// byte it does not own, content kept aside, files left alone, failed writes,
// and other programs changing the list at the same time.
#include "core/runs/MacroEntry.h"
#include "tests/support/ProcessLimits.h"
#include "tests/support/WholeFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

namespace {

const QByteArray kLcdMode =
    core::MacroEntry(core::ReportRecord{"W", 4,
                                        QByteArray::fromHex("01000000000000"),
                                        "Enable LCD Mode"})
        .text();
const QByteArray kBom = "\xEF\xBB\xBF";

// JSON text written with ' for ".
QByteArray J(QByteArray text) {
  return text.replace('\'', '"');
}

core::UserDefaults::Change Appending(const QByteArray &element) {
  return [element](const core::UserDefaults::List &list) {
    return std::optional(list.texts() + QList<QByteArray>{element});
  };
}

} // namespace

class UserDefaultsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> home_;
  QString prefs_;

  std::unique_ptr<core::UserDefaults> defaults() {
    auto defaults =
        std::make_unique<core::UserDefaults>(prefs_, core::kDefaultMacrosKey);
    defaults->registerDefaults({kLcdMode});
    return defaults;
  }
  QStringList besidePrefs() const {
    return QDir(QFileInfo(prefs_).absolutePath())
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
  }
  // Runs the second program on the preferences file.
  static QProcess *startTool(const QStringList &arguments) {
    auto *tool = new QProcess;
    tool->start(PREFS_TOOL, arguments);
    return tool;
  }

private slots:
  void init() {
    home_ = std::make_unique<QTemporaryDir>();
    prefs_ = home_->filePath("config/defaults.json");
    QTest::failOnWarning(QRegularExpression(".*"));
  }

  // Other keys (twice, or with a byte order mark), numbers past a double,
  // strings that begin with U+FEFF, unusable elements and the layout stay as
  // they were; what the explorer writes reads back as written, and writing
  // it again changes no byte.
  void rewriteKeepsWhatItDoesNotOwn() {
    const QByteArray prefix = kBom +
                              "{\n\t\"window\": {\"w\": 1},  \"window\": "
                              "[12345678901234567890123, 1.50e+3],\n  \"" +
                              kBom + "default macros\": \"" + kBom +
                              "x\",\n  \"default macros\": ";
    const QByteArray a =
        J("{'R/W':'W','Id':2.0,'data':'0A0b','name':'a','k':1}");
    const QByteArray big =
        J("{'R/W':'W','Id':12345678901234567890123,'data':'','name':'big'}");
    const QByteArray bom =
        J("{'R/W':'W','Id':1,'data':'02','name':'") + kBom + J("b'}");
    const QByteArray suffix = "\n}  \n";
    QVERIFY(WriteAll(prefs_,
                     prefix + "[" + a + ", " + big + "," + bom + "]" + suffix));
    auto defaults = this->defaults();
    const core::MacroList macros = core::ReadMacros(defaults->list());
    QCOMPARE(macros.entries.size(), 3);
    QCOMPARE(macros.entries[0].record(),
             (core::ReportRecord{"W", 2, QByteArray::fromHex("0a0b"), "a"}));
    QVERIFY(!macros.entries[1].record());
    QCOMPARE(macros.entries[1].name(), "big");
    QCOMPARE(macros.entries[2].record()->name, QString(QChar(0xFEFF)) + "b");

    QCOMPARE(defaults->change(Appending(kLcdMode)).result,
             core::UserDefaults::Outcome::Stored);
    const QByteArray expected = prefix + "[\n    " + a + ",\n    " + big +
                                ",\n    " + bom + ",\n    " + kLcdMode +
                                "\n  ]" + suffix;
    QCOMPARE(ReadAll(prefs_), expected);
    QCOMPARE(defaults->list().texts(),
             QList<QByteArray>({a, big, bom, kLcdMode}));
    defaults->change([](const core::UserDefaults::List &list) {
      return std::optional(list.texts());
    });
    QCOMPARE(ReadAll(prefs_), expected);
  }

  // The registered list is read while nothing is stored and never written; a
  // new file holds the list alone, one element a line.
  void newFileHoldsTheListAlone() {
    auto defaults = this->defaults();
    QCOMPARE(defaults->list().texts(), QList<QByteArray>{kLcdMode});
    QVERIFY(!defaults->list().stored);
    QVERIFY(!QFileInfo::exists(QFileInfo(prefs_).absolutePath()));
    QCOMPARE(defaults->change(Appending(kLcdMode)).result,
             core::UserDefaults::Outcome::Stored);
    QCOMPARE(ReadAll(prefs_), "{\n  \"default macros\": [\n    " + kLcdMode +
                                  ",\n    " + kLcdMode + "\n  ]\n}\n");
    defaults->change([](auto &) { return std::optional(QList<QByteArray>()); });
    QVERIFY(this->defaults()->list().elements.isEmpty());
    QCOMPARE(besidePrefs(), QStringList{"defaults.json"});
  }

  void unusableContentIsKeptAside_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("reason");
    QTest::newRow("not JSON")
        << QByteArray(J("{'default macros': [ {")) << "is not valid JSON";
    QTest::newRow("not UTF-8")
        << QByteArray("{\"x\": \"\xff\"}") << "text that is not UTF-8";
    QTest::newRow("a list")
        << QByteArray("[1]") << "does not hold a JSON object";
    QTest::newRow("no list under the key")
        << QByteArray(J("{'default macros': 5}")) << "holds no list";
    QTest::newRow("the key twice")
        << QByteArray(J("{'default macros': [], 'default macros': []}"))
        << "more than once";
  }

  // The registered list is shown meanwhile; the first change renames the
  // file, unchanged, to defaults.json.corrupt-<UTC time>, and says so.
  void unusableContentIsKeptAside() {
    QFETCH(QByteArray, contents);
    QFETCH(QString, reason);
    QVERIFY(WriteAll(prefs_, contents));
    auto defaults = this->defaults();
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(reason + ".*kept aside"));
    QCOMPARE(defaults->list().texts(), QList<QByteArray>{kLcdMode});
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("it was kept as"));
    QCOMPARE(defaults->change(Appending(kLcdMode)).result,
             core::UserDefaults::Outcome::Stored);
    const QStringList aside = besidePrefs().filter(
        QRegularExpression("^defaults\\.json\\.corrupt-\\d{8}T\\d{6}Z$"));
    QCOMPARE(aside.size(), 1);
    QCOMPARE(ReadAll(QFileInfo(prefs_).absolutePath() + "/" + aside[0]),
             contents);
    QCOMPARE(defaults->list().texts(), QList<QByteArray>(2, kLcdMode));
  }

  void unreadableFileIsLeftAlone_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("descriptors used up") << 0 << "Too many open files";
    QTest::newRow("no read permission") << 1 << "Permission denied";
    QTest::newRow("a named pipe") << 2 << "is not a regular file";
    QTest::newRow("a folder") << 3 << "is not a regular file";
  }

  // An open or read error, or a file that is not a regular one, is neither
  // kept aside nor written over: the registered list is shown, and changes
  // fail with the reason. A pipe never blocks the reader.
  void unreadableFileIsLeftAlone() {
    QFETCH(int, kind);
    QFETCH(QString, reason);
    const QByteArray stored = "{\"default macros\": [" + kLcdMode + "]}";
    QVERIFY(WriteAll(prefs_, stored));
    if (kind >= 2) {
      QVERIFY(QFile::remove(prefs_));
      QCOMPARE(kind == 2 ? mkfifo(qPrintable(prefs_), 0600)
                         : mkdir(qPrintable(prefs_), 0700),
               0);
    }
    auto defaults = this->defaults();
    std::unique_ptr<WithLimit> limit;
    std::unique_ptr<WithoutPermissionOverride> asUser;
    if (kind == 0) {
      const int lowestFree = dup(0); // every descriptor from here on in use
      close(lowestFree);
      limit = std::make_unique<WithLimit>(RLIMIT_NOFILE, lowestFree);
    }
    if (kind == 1) {
      QVERIFY(QFile::setPermissions(prefs_, {}));
      asUser = std::make_unique<WithoutPermissionOverride>();
    }
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(reason + ".*left alone"));
    const core::UserDefaults::List list = defaults->list();
    const core::UserDefaults::Outcome outcome =
        defaults->change(Appending(kLcdMode));
    limit.reset();
    asUser.reset();
    QVERIFY(!list.stored);
    QCOMPARE(outcome.result, core::UserDefaults::Outcome::Failed);
    QVERIFY2(outcome.error.contains(reason), qPrintable(outcome.error));
    QCOMPARE(besidePrefs(), QStringList{"defaults.json"});
    if (kind < 2) {
      QFile::setPermissions(prefs_, QFile::ReadOwner | QFile::WriteOwner);
      QCOMPARE(ReadAll(prefs_), stored);
    }
  }

  // SIGXFSZ would end the process (as it does a shell's child); the user
  // defaults make a file-size limit fail the write instead, and the old
  // file stays whole.
  void failedWriteLeavesTheOldFileWhole() {
    std::signal(SIGXFSZ, SIG_DFL);
    auto defaults = this->defaults();
    defaults->change(Appending(kLcdMode));
    const QByteArray before = ReadAll(prefs_);
    core::UserDefaults::Outcome outcome;
    {
      WithLimit limit(RLIMIT_FSIZE, before.size());
      outcome = defaults->change(Appending(kLcdMode + kLcdMode));
    }
    QCOMPARE(outcome.result, core::UserDefaults::Outcome::Failed);
    QVERIFY2(outcome.error.contains("File too large"),
             qPrintable(outcome.error));
    QCOMPARE(ReadAll(prefs_), before);
    QCOMPARE(besidePrefs(), QStringList{"defaults.json"});
  }

  // Two more programs add 40 macros each while this one adds 40, one change
  // at a time; a lock its owner left behind when it died does not stop them.
  void changesOfThreeProgramsAtOnceAreAllKept() {
    QVERIFY(WriteAll(prefs_, J("{'default macros': []}")));
    QVERIFY(
        WriteAll(prefs_ + ".lock", "999999\nprefs_tool\n" +
                                       QSysInfo::machineHostName().toUtf8() +
                                       "\n" + QSysInfo::machineUniqueId() +
                                       "\n" + QSysInfo::bootUniqueId() + "\n"));
    std::unique_ptr<QProcess> tools[] = {
        std::unique_ptr<QProcess>(startTool({prefs_, "add", "one", "40"})),
        std::unique_ptr<QProcess>(startTool({prefs_, "add", "two", "40"}))};
    auto defaults = this->defaults();
    for (int i = 0; i < 40; ++i) {
      const core::UserDefaults::Outcome outcome =
          defaults->change(Appending(kLcdMode));
      QVERIFY2(outcome.result == core::UserDefaults::Outcome::Stored,
               qPrintable(outcome.error));
    }
    for (auto &tool : tools) {
      QVERIFY(tool->waitForFinished(30000));
      QCOMPARE(tool->exitCode(), 0);
    }
    QStringList names;
    for (const core::MacroEntry &entry :
         core::ReadMacros(defaults->list()).entries)
      names << entry.name();
    QCOMPARE(names.size(), 120);
    for (int i = 0; i < 40; ++i)
      QVERIFY(names.contains("one " + QString::number(i)) &&
              names.contains("two " + QString::number(i)));
  }

  // Also when the folder did not exist yet.
  void anotherProgramsChangeIsSeen() {
    auto defaults = this->defaults();
    const quint64 generation = defaults->list().generation;
    QSignalSpy changed(defaults.get(), &core::UserDefaults::changed);
    std::unique_ptr<QProcess> tool(startTool({prefs_, "add", "other", "1"}));
    QVERIFY(tool->waitForFinished(30000));
    QTRY_VERIFY(changed.count() > 0);
    QVERIFY(defaults->list().generation != generation);
    const core::MacroList macros = core::ReadMacros(defaults->list());
    QCOMPARE(macros.entries.size(), 1);
    QCOMPARE(macros.entries[0].name(), "other 0");
  }
};

QTEST_GUILESS_MAIN(UserDefaultsTest)
#include "tst_user_defaults.moc"
