// pinworth macro list and macro run on the explorer's preferences file, in
// a home of the test's own, as a user runs them.
#include "tests/cli/PinworthProcess.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kPreferences = R"({"default macros": [
  {"R/W": "W", "Id": 4, "data": "01 00 00 00 00 00 00", "name": "LCD on"},
  {"R/W": "W", "Id": -1, "data": "00 ff ff ff", "name": "Pin 0 low"},
  {"R/W": "R", "Id": -1, "data": "ff ff ff ff", "name": "A read"},
  42]}
)";

} // namespace

class PinworthMacrosTest : public QObject {
  Q_OBJECT

  QTemporaryDir home;
  QString preferences() const {
    return home.path() + "/.config/Pinworth/Pinworth Explorer/defaults.json";
  }

private slots:
  void initTestCase() {
    QVERIFY(home.isValid());
    qputenv("HOME", home.path().toUtf8());
    qunsetenv("XDG_CONFIG_HOME");
  }

  // Without a file, the six built-in macros; with one, its list, as it is.
  void listsTheStoredMacros() {
    PinworthRun run = RunPinworth({"--sim", "macro", "list"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.lines.size(), 6);
    QCOMPARE(run.lines[0], " 0  W  04  01 00 00 00 00 00 00  Enable LCD Mode");

    QVERIFY(QDir().mkpath(QFileInfo(preferences()).path()));
    QFile file(preferences());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(kPreferences);
    file.close();
    run = RunPinworth({"--sim", "--json", "macro", "list"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.lines.size(), 4);
    const QJsonObject pins =
        QJsonDocument::fromJson(run.lines[1].toUtf8()).object();
    QCOMPARE(pins.value("name").toString(), "Pin 0 low");
    QVERIFY(pins.value("report_id").isNull());
    QCOMPARE(pins.value("data").toString(), "00 ff ff ff");
    QCOMPARE(QJsonDocument::fromJson(run.lines[3].toUtf8())
                 .object()
                 .value("usable")
                 .toBool(true),
             false);
  }

  // A macro goes where --to says, or to the only interface of its kind;
  // never to a guess, never a read report; the file is left as it was.
  void runsAMacroOnlyWhereItIsMeant_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::newRow("to an interface")
        << QStringList{"macro", "run", "Pin", "0", "low", "--to", "A:1000:0"}
        << 0 << "A 1000 if0    W  --  00 ff ff ff";
    QTest::newRow("two that could take it")
        << QStringList{"macro", "run", "Pin 0 low"} << 3
        << "the macro is for an interface 0, and 2 are attached "
           "(A:1000:0, B:2000:0): name one with --to";
    QTest::newRow("too long for the interface")
        << QStringList{"macro", "run", "LCD on", "--to", "0"} << 2
        << "takes 4 bytes; 8 bytes given";
    QTest::newRow("a read report")
        << QStringList{"macro", "run", "A read", "--to", "0"} << 2
        << "the macro \"A read\" is not a report to write";
    QTest::newRow("no such name") << QStringList{"macro", "run", "LCD"} << 2
                                  << "no macro is named \"LCD\"";
  }
  void runsAMacroOnlyWhereItIsMeant() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    const PinworthRun run = RunPinworth(QStringList{"--sim"} + arguments);
    QCOMPARE(run.exitCode, exitCode);
    const QString printed = exitCode == 0 ? run.lines.join(u'\n') : run.errors;
    QVERIFY2(printed.contains(output), qPrintable(printed));
    QFile file(preferences());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), kPreferences);
  }
};

QTEST_MAIN(PinworthMacrosTest)
#include "tst_pinworth_macros.moc"
