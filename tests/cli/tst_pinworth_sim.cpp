// pinworth on its simulated devices, run as a user runs it: every command,
// its output in the log's text format and as JSON, its exit statuses, bad
// arguments and Ctrl+C; the explorer's macros on a preferences file in a
// home of the test's own.
#include "tests/cli/PinworthProcess.h"
#include "tests/interop/KnownCapture.h"
#include "tests/support/WholeFiles.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

// A session on the simulated devices with input as its standard input.
PinworthRun RunSession(const QByteArray &input) {
  QProcess process;
  StartPinworth(process, {"--sim", "session"});
  process.write(input);
  process.closeWriteChannel();
  return Finish(process);
}

// The seconds in the time column of an output line.
double Seconds(const QString &line) {
  return line.section(u' ', 0, 0, QString::SectionSkipEmpty).toDouble();
}

const QByteArray kPreferences = R"({"default macros": [
  {"R/W": "W", "Id": 4, "data": "01 00 00 00 00 00 00", "name": "LCD on"},
  {"R/W": "W", "Id": -1, "data": "00 ff ff ff", "name": "Pin 0 low"},
  {"R/W": "R", "Id": -1, "data": "ff ff ff ff", "name": "A read"},
  42],
 "sequences": [
  {"name": "Blink", "steps": [[0, null, "00 ff"], [40, null, "ff ff"]],
   "repeat": 2},
  {"name": "Too long", "steps": [[0, null, "00"], [0, 5, "01 02 03 04"]]}]}
)";

} // namespace

class PinworthSimTest : public QObject {
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

  // Each line of standard output holds its fragment, in order.
  void commands_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("error");
    const QString ff = "if0    R  --  ff ff ff ff           all pins high";
    QTest::newRow("list") << QStringList{"list"} << 0
                          << QStringList{"0  A:1000:0   PinworthA (SN 1000) "
                                         "Interface 0  -",
                                         "1  A:1000:1", "2  B:2000:0",
                                         "3  B:2000:1   PinworthB (SN 2000) "
                                         "Interface 1  -"}
                          << "";
    QTest::newRow("write, padded")
        << QStringList{"write", "B:2000:1", "04", "01"} << 0
        << QStringList{"B 2000 if1    W  04  01 00 00 00 00 00 00  "
                       "LCD mode on"}
        << "";
    QTest::newRow("write, too long")
        << QStringList{"write", "0", "01 02 03 04 05"} << 2 << QStringList{}
        << "Interface 0 takes 4 bytes; 5 bytes given";
    QTest::newRow("write, text one byte too long")
        << QStringList{"write", "A:1000:1", "05 87 \"Hello!\\x21\""} << 2
        << QStringList{} << "a report ID and 7 bytes; 9 bytes given";
    QTest::newRow("write, text the shell unquoted")
        << QStringList{"write", "A:1000:1", "05", "85", "Hello"} << 2
        << QStringList{} << "in quotes that reach pinworth";
    QTest::newRow("write, no such position")
        << QStringList{"write", "4", "00"} << 3 << QStringList{}
        << "no interface 4 is attached";
    QTest::newRow("write, no such device")
        << QStringList{"write", "B:2000:1#2", "00"} << 3 << QStringList{}
        << "no interface B:2000:1#2 is attached";
    QTest::newRow("write, not a name")
        << QStringList{"write", "C:1:0", "00"} << 2 << QStringList{}
        << "'C:1:0' names no interface";
    QTest::newRow("read") << QStringList{"read", "A:1000:0",   "--count",
                                         "3",    "--interval", "5"}
                          << 0 << QStringList{ff, ff, ff} << "";
    QTest::newRow("read, changes only")
        << QStringList{"read",      "0",         "--changes",
                       "--count=2", "--timeout", "0.3"}
        << 5 << QStringList{ff} << "";
    QTest::newRow("read, an interface 1")
        << QStringList{"read", "1"} << 2 << QStringList{} << "use listen";
    QTest::newRow("listen, count not reached")
        << QStringList{"listen", "1", "--count", "1", "--timeout", "0.2"} << 5
        << QStringList{} << "Listening to PinworthA (SN 1000) Interface 1";
    QTest::newRow("listen, until the timeout")
        << QStringList{"listen", "3", "--timeout", "0.2"} << 0 << QStringList{}
        << "";
    QTest::newRow("lcd")
        << QStringList{"lcd", "A:1000", "Hello"} << 0
        << QStringList{"A 1000 if1    W  04  01 00 00 00 00 00 00  "
                       "LCD mode on",
                       "W  05  03 38 01 0f 00 00 00  LCD: function set",
                       "W  05  85 48 65 6c 6c 6f 00  LCD write: \"Hello\"",
                       "W  05  01 80 00 00 00 00 00  LCD: set display "
                       "address 0x00",
                       "W  06  85 00 00 00 00 00 00  LCD read request: 5",
                       "A 1000 if1    R  06  85 48 65 6c 6c 6f 00  "
                       "LCD read: \"Hello\""}
        << "";
    QTest::newRow("lcd --read")
        << QStringList{"lcd", "2", "--read"} << 0
        << QStringList{"B 2000 if1    W  04",
                       "W  05  01 80",
                       "W  06  86",
                       "R  06  86 20 20 20 20 20 20",
                       "W  06  86",
                       "R  06  86",
                       "W  06  84",
                       "R  06  84 20 20 20 20 00 00  LCD read: \"    \""}
        << "";
    QTest::newRow("lcd, text and --read")
        << QStringList{"lcd", "1", "Hi", "--read"} << 2 << QStringList{}
        << "either a text or --read";
    QTest::newRow("lcd, too long")
        << QStringList{"lcd", "1", "seventeen letters"} << 2 << QStringList{}
        << "1 to 16 printable ASCII";
    // The text itself is the Interface Info window's, tested with it.
    QTest::newRow("info") << QStringList{"info", "B:2000:1"} << 0
                          << QStringList{"PinworthB (SN 2000) Interface 1"}
                          << "";
    QTest::newRow("unknown option")
        << QStringList{"list", "--cout", "2"} << 2 << QStringList{}
        << "unknown option '--cout'";
    QTest::newRow("option of another command")
        << QStringList{"listen", "1", "--changes"} << 2 << QStringList{}
        << "listen takes no option --changes";
    QTest::newRow("no command")
        << QStringList{} << 2 << QStringList{} << "no command given";
  }
  void commands() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, lines);
    QFETCH(QString, error);
    const PinworthRun run = RunPinworth(QStringList{"--sim"} + arguments);
    QVERIFY(!run.crashed);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.errors.contains(error), qPrintable(run.errors));
    if (QTest::currentDataTag() == QLatin1String("info")) {
      QCOMPARE(run.lines.value(0), lines[0]);
      return;
    }
    QCOMPARE(run.lines.size(), lines.size());
    for (int i = 0; i < lines.size(); ++i)
      QVERIFY2(run.lines[i].contains(lines[i]), qPrintable(run.lines[i]));
  }

  void jsonLines() {
    const PinworthRun list = RunPinworth({"--sim", "--json", "list"});
    QCOMPARE(list.lines.size(), 4);
    const QJsonObject last =
        QJsonDocument::fromJson(list.lines[3].toUtf8()).object();
    QCOMPARE(last.value("key").toString(), "B:2000:1");
    QCOMPARE(last.value("model").toString(), "PinworthB");
    QCOMPARE(last.value("serial").toInt(), 2000);
    QCOMPARE(last.value("interface").toInt(), 1);

    const PinworthRun lcd = RunPinworth({"lcd", "--json", "--sim", "1", "Hi"});
    QCOMPARE(lcd.exitCode, 0);
    const QJsonObject answer =
        QJsonDocument::fromJson(lcd.lines.last().toUtf8()).object();
    QCOMPARE(answer.value("source").toString(), "A:1000:1");
    QCOMPARE(answer.value("direction").toString(), "R");
    QCOMPARE(answer.value("report_id").toInt(), 6);
    QCOMPARE(answer.value("data").toString(), "82 48 69 00 00 00 00");
    QCOMPARE(answer.value("decoded").toString(), "LCD read: \"Hi\"");
    QVERIFY(answer.value("time").toDouble() > 0);
  }

  // A session's commands share the devices and one clock from its start;
  // arguments are split as a shell splits them, with quotes and # comments;
  // sleep waits; the first command that fails ends the session.
  void session() {
    const PinworthRun run = RunSession("write 'A:1000:1' 04 01 # LCD mode on\n"
                                       "sleep 300\n"
                                       "  # a comment alone\n"
                                       "lcd A:1000 \"Hello\"\n"
                                       "write A:1000:1 '05 82 \"\\x41\\t\"' #\n"
                                       "write A:1000:0 \"fe ff ff ff\"\n"
                                       "read 0 --count 1\n"
                                       "lcd 1 --read\n"
                                       "frob\n"
                                       "list\n");
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.errors.contains("frob: unknown command"),
             qPrintable(run.errors));
    QCOMPARE(run.lines.size(), 18);
    // The written text lands after the five letters lcd read back.
    const std::pair<int, QString> expected[] = {
        {0, "W  04  01 00"},
        {7, "W  05  82 41 09 00"},
        {9, "R  --  fe ff ff ff"},
        {13, "R  06  86 48 65 6c 6c 6f 41"}};
    for (const auto &[line, fragment] : expected)
      QVERIFY2(run.lines[line].contains(fragment), qPrintable(run.lines[line]));
    QVERIFY2(Seconds(run.lines[0]) < 0.3 && Seconds(run.lines[1]) >= 0.3 &&
                 Seconds(run.lines[17]) >= Seconds(run.lines[1]),
             qPrintable(run.lines.join(u'\n')));
  }

  // A line is read up to 4096 bytes and no further; a refused line is
  // shown whole, its control characters visible.
  void sessionRefusals_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error");
    QTest::newRow("4096 bytes") << "list" + QByteArray(4092, ' ') + "\n"
                                << 0 << "";
    QTest::newRow("4097 bytes") << "list" + QByteArray(4093, ' ') + "\n"
                                << 2 << "line 1 is longer than 4096 bytes";
    QTest::newRow("endless NULs") << "list\n" + QByteArray(1 << 20, '\0') << 2
                                  << "line 2 is longer than 4096 bytes";
    QTest::newRow("a NUL in a command")
        << QByteArray("list\0foo\n", 9) << 2
        << "list\\x00foo: unknown command 'list\\x00foo'";
    QTest::newRow("quote not closed")
        << QByteArray("write 1 \"05\n") << 2 << "the quote \" is not closed";
    QTest::newRow("sleep without milliseconds")
        << QByteArray("sleep 1s\n") << 2 << "sleep takes milliseconds";
  }
  void sessionRefusals() {
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    const PinworthRun run = RunSession(input);
    QVERIFY(!run.crashed);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.errors.contains(error), qPrintable(run.errors));
  }

  // What record writes, dump prints as read and listen print it: the
  // reports of each interface on one time base, between the events.
  void recordThenDump() {
    QTemporaryDir dir;
    const QString file = dir.filePath("pins.pwcap");
    const PinworthRun recorded =
        RunSession("write A:1000:0 fe ff ff ff\n"
                   "record A:1000:0 B:2000:0 A:1000:1 --count 4 -o " +
                   file.toUtf8() + "\n");
    QCOMPARE(recorded.exitCode, 0);
    QVERIFY2(recorded.errors.contains("4 reports recorded in " + file),
             qPrintable(recorded.errors));

    const PinworthRun dump = RunPinworth({"dump", file});
    QCOMPARE(dump.exitCode, 0);
    const QString low = "A 1000 if0    R  --  fe ff ff ff           pins 0 low";
    const QString high =
        "B 2000 if0    R  --  ff ff ff ff           all pins high";
    const QStringList expected = {
        "A 1000 if0    *  --                        polling started",
        "B 2000 if0    *  --                        polling started",
        "A 1000 if1    *  --                        listening started",
        low,
        high,
        low,
        high,
        "A 1000 if0    *  --                        polling stopped",
        "B 2000 if0    *  --                        polling stopped",
        "A 1000 if1    *  --                        listening stopped"};
    QCOMPARE(dump.lines.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
      QVERIFY2(dump.lines[i].endsWith(expected[i]), qPrintable(dump.lines[i]));
      QVERIFY(i == 0 || Seconds(dump.lines[i]) >= Seconds(dump.lines[i - 1]));
    }
    const double polled = Seconds(dump.lines[5]) - Seconds(dump.lines[3]);
    QVERIFY2(polled > 0.04 && polled < 0.2,
             qPrintable(QString::number(polled)));

    const PinworthRun json = RunPinworth({"--json", "dump", file});
    QCOMPARE(json.lines.size(), expected.size());
    const QJsonObject started =
        QJsonDocument::fromJson(json.lines[0].toUtf8()).object();
    QCOMPARE(started.value("event").toString(), "polling started");
    QCOMPARE(started.value("source").toString(), "A:1000:0");
    const QJsonObject report =
        QJsonDocument::fromJson(json.lines[3].toUtf8()).object();
    QCOMPARE(report.value("source").toString(), "A:1000:0");
    QCOMPARE(report.value("direction").toString(), "R");
    QVERIFY(report.value("report_id").isNull());
    QCOMPARE(report.value("data").toString(), "fe ff ff ff");
    QCOMPARE(report.value("decoded").toString(), "pins 0 low");
  }

  // record writes over a file only with --force; dump of a file cut short
  // prints its whole records and says what it dropped; info gives JSON.
  void fileCommandsSayWhatTheyDid() {
    QTemporaryDir dir;
    const QString file = dir.filePath("kept.pwcap");
    QVERIFY(WriteKnownCapture(file));
    const QByteArray kept = ReadAll(file);
    const QByteArray record = "record A:1000:0 --count 2 -o " + file.toUtf8();
    const PinworthRun refused = RunSession(record + "\n");
    QCOMPARE(refused.exitCode, 2);
    QVERIFY2(refused.errors.contains(file + " exists: record writes over a "
                                            "file only with --force"),
             qPrintable(refused.errors));
    QCOMPARE(ReadAll(file), kept);
    QCOMPARE(RunSession(record + " --force\n").exitCode, 0);
    QVERIFY(ReadAll(file) != kept);

    const uint64_t records = WriteKnownCapture(file)->recordCount();
    const int lines = RunPinworth({"dump", file}).lines.size();
    QVERIFY(QFile::resize(file, QFileInfo(file).size() - 5));
    const PinworthRun cut = RunPinworth({"dump", file});
    QCOMPARE(cut.exitCode, 0);
    QCOMPARE(cut.lines.size(), lines - 1);
    QVERIFY2(cut.errors.contains(
                 QStringLiteral("%1 was cut short: its last %2 bytes hold no "
                                "whole record and were not printed (%3 "
                                "records were)")
                     .arg(file)
                     .arg(capture::kRecordSize - 5)
                     .arg(records - 1)),
             qPrintable(cut.errors));

    const PinworthRun info =
        RunPinworth({"--sim", "--json", "info", "A:1000:1"});
    QCOMPARE(info.exitCode, 0);
    QCOMPARE(info.lines.size(), 1);
    const QJsonObject object =
        QJsonDocument::fromJson(info.lines[0].toUtf8()).object();
    QCOMPARE(object.value("key").toString(), "A:1000:1");
    QCOMPARE(
        QByteArray::fromHex(object.value("descriptor").toString().toLatin1()),
        QByteArray(reinterpret_cast<const char *>(
                       pinworth::Interface1ReportDescriptor().data()),
                   qsizetype(pinworth::Interface1ReportDescriptor().size())));
    QVERIFY(object.value("properties").toObject().contains("Serial number"));
  }

  // A capture whose interface table is damaged is dumped whole, saying so
  // and how many records lost their interface.
  void dumpSaysTheTableIsDamaged() {
    QTemporaryDir dir;
    const QString path = dir.filePath("damaged.pwcap");
    QVERIFY(WriteKnownCapture(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const qint64 secondEntry =
        qint64(capture::kHeaderSize +
               capture::EncodeInterface(
                   core::CaptureEntry(kKnownA0,
                                      pinworth::Interface0ReportDescriptor()))
                   .size());
    QVERIFY(file.seek(secondEntry + 4)); // its serial number
    file.write("\x01", 1);
    file.close();
    const PinworthRun dump = RunPinworth({"dump", path});
    QCOMPARE(dump.exitCode, 0);
    QCOMPARE(dump.lines.size(), int(KnownRows().size()) + 2);
    QCOMPARE(dump.lines.filter(QRegularExpression("  -  +[R*W]  ")).size(), 4);
    QCOMPARE(dump.errors,
             "pinworth: " + path +
                 ": the interface table is damaged: 4 records name an "
                 "interface it does not hold and are printed without their "
                 "source\n");
  }

  // Under a file-size limit with room for about 40 records, record stops
  // at the limit, saying why; the file holds every report it counts, then
  // the record that marks where writing stopped.
  void recordStopsAtAFullDisk() {
    QTemporaryDir dir;
    const QString file = dir.filePath("full.pwcap");
    QProcess process;
    process.start("bash", {"-c", "ulimit -f 65; exec \"$0\" \"$@\"",
                           PINWORTH_PROGRAM, "--sim", "record", "A:1000:0",
                           "B:2000:0", "-o", file, "--timeout", "20000"});
    const PinworthRun recorded = Finish(process);
    QCOMPARE(recorded.exitCode, 4);
    QVERIFY2(recorded.errors.contains("could not write " + file +
                                      ": File too large"),
             qPrintable(recorded.errors));
    const PinworthRun dump = RunPinworth({"dump", file});
    QCOMPARE(dump.exitCode, 0);
    const int reports = int(dump.lines.filter("    R  --  ").size());
    QVERIFY(reports > 30);
    QVERIFY2(recorded.errors.contains(
                 QString("%1 reports recorded in %2").arg(reports).arg(file)),
             qPrintable(recorded.errors));
    QVERIFY2(dump.lines.last().endsWith(
                 "*  --                        disk writing stopped: File "
                 "too large"),
             qPrintable(dump.lines.last()));
  }

  // convert takes a capture to another tool's format and back, the format
  // from the extension or --format; one it does not know is refused.
  void convertsThereAndBack() {
    QTemporaryDir dir;
    const QString capture = dir.filePath("pins.pwcap");
    QCOMPARE(RunSession("write A:1000:0 fe ff ff ff\nrecord A:1000:0 --count "
                        "3 -o " +
                        capture.toUtf8() + "\n")
                 .exitCode,
             0);
    const PinworthRun toText =
        RunPinworth({"convert", capture, dir.filePath("pins.txt"), "--format",
                     "hid-recorder"});
    QCOMPARE(toText.exitCode, 0);
    QCOMPARE(toText.lines,
             QStringList{"3 records exported to " + dir.filePath("pins.txt") +
                         ", 2 skipped"}); // polling started and stopped
    // Text to CSV goes through a capture of its own, left nowhere.
    QVERIFY(QFile::rename(dir.filePath("pins.txt"), dir.filePath("pins.hid")));
    const PinworthRun toCsv = RunPinworth(
        {"convert", dir.filePath("pins.hid"), dir.filePath("p.csv")});
    QCOMPARE(toCsv.exitCode, 0);
    QCOMPARE(toCsv.lines.size(), 2);
    QVERIFY(toCsv.lines[0].startsWith("3 reports imported from "));
    const QList<QByteArray> rows = ReadAll(dir.filePath("p.csv")).split('\n');
    QCOMPARE(rows.size(), 1 + 3 + 1);
    QVERIFY(rows[1].contains(",A 1000 if0,R,,fe,ff,ff,ff,"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).size(), 3);

    const PinworthRun unknown =
        RunPinworth({"convert", capture, dir.filePath("pins.bin")});
    QCOMPARE(unknown.exitCode, 2);
    QVERIFY(unknown.errors.contains(
        "the format of " + dir.filePath("pins.bin") + " is not known"));
    const PinworthRun badFormat =
        RunPinworth({"convert", capture, "x", "--format", "wav"});
    QCOMPARE(badFormat.exitCode, 2);
    QVERIFY2(badFormat.errors.contains(
                 "--format takes pwcap, pcapng, vcd, hid-recorder, csv"),
             qPrintable(badFormat.errors));
    // Named without an extension, a file is taken for a capture, and one
    // that is not is refused as such.
    QVERIFY(WriteAll(dir.filePath("notes"), "some text\n"));
    const PinworthRun notCapture = RunPinworth(
        {"convert", dir.filePath("notes"), dir.filePath("n.pwcap")});
    QCOMPARE(notCapture.exitCode, 2);
    QCOMPARE(notCapture.errors,
             "pinworth: " + dir.filePath("notes") + ": not a capture file\n");
  }

  // replay writes a capture's reports of the target's interface number, at
  // their gaps (divided by --speed) or as fast as they go, and says when
  // they were written to the other model; a session's next command reads
  // what the last one set.
  void replaysTheReportsWritten() {
    QTemporaryDir dir;
    const QString path = dir.filePath("known.pwcap");
    QVERIFY(WriteKnownCapture(path));
    const double recordedGap = (50300 - 2000) / 1e6;
    for (const auto &[option, gap] :
         {std::pair<QString, double>{"", recordedGap},
          {" --speed 2", recordedGap / 2},
          {" --interval 0", 0}}) {
      const PinworthRun run =
          RunSession(QString("replay %1 --to A:1000:0%2\nread A:1000:0 "
                             "--count 1\n")
                         .arg(path, option)
                         .toUtf8());
      QCOMPARE(run.exitCode, 0);
      QCOMPARE(run.lines.size(), 3);
      QVERIFY2(run.lines[0].contains("A 1000 if0    W  --  01 00 00 00"),
               qPrintable(run.lines[0]));
      QVERIFY(run.lines[1].contains("A 1000 if0    W  --  03 00 00 80"));
      QVERIFY(run.lines[2].contains("A 1000 if0    R  --  03 00 00 80"));
      const double sent = Seconds(run.lines[1]) - Seconds(run.lines[0]);
      QVERIFY2(sent >= gap - 0.002 && sent < gap + 0.2,
               qPrintable(QString("%1 s apart%2").arg(sent).arg(option)));
      QVERIFY(run.errors.isEmpty());
    }

    const PinworthRun toOtherModel =
        RunPinworth({"--sim", "replay", path, "--to", "A:1000:1"});
    QCOMPARE(toOtherModel.exitCode, 0);
    QCOMPARE(toOtherModel.lines.size(), 1);
    QVERIFY(toOtherModel.lines[0].contains(
        "A 1000 if1    W  05  54 65 73 74 00 00 00"));
    QVERIFY2(toOtherModel.errors.contains(
                 path + "'s reports were written to a PinworthB; they go to "
                        "PinworthA (SN 1000) Interface 1 all the same"),
             qPrintable(toOtherModel.errors));
  }

  // The first report that cannot go stops the replay, naming its row; none
  // to replay, or Ctrl+C during a gap, send nothing more.
  void replayStops() {
    QTemporaryDir dir;
    const QString path = dir.filePath("long.pwcap");
    {
      std::string reason;
      auto writer = capture::CaptureWriter::create(path.toStdString(), &reason);
      QVERIFY(writer);
      writer->addInterface(
          core::CaptureEntry(kKnownA0, pinworth::Interface0ReportDescriptor()));
      const uint8_t pins[] = {0x0f, 0xff, 0xff, 0xff, 0xff};
      writer->appendEvent(0, 0, capture::EventKind::PollingStarted);
      writer->appendReport(true, 0, 10, {}, pins, 4);
      writer->appendReport(true, 0, 20, {}, pins, 5);
      writer->appendReport(true, 0, 5000000, {}, pins, 4);
      writer->close();
    }
    const PinworthRun tooLong =
        RunPinworth({"--sim", "replay", path, "--to", "A:1000:0"});
    QCOMPARE(tooLong.exitCode, 4);
    QCOMPARE(tooLong.lines.size(), 1);
    QVERIFY(tooLong.errors.contains(
        "row 3 holds 5 bytes; PinworthA (SN 1000) Interface 0 takes 4"));
    QVERIFY2(tooLong.errors.contains("replay stopped at row 3 of " + path +
                                     ", 1 of 3 reports sent"),
             qPrintable(tooLong.errors));

    const PinworthRun none =
        RunPinworth({"--sim", "replay", path, "--to", "B:2000:1"});
    QCOMPARE(none.exitCode, 2);
    QVERIFY(none.errors.contains(path +
                                 " holds no report written to an interface 1"));

    QProcess process;
    StartPinworth(process, {"--sim", "replay", path, "--to", "A:1000:0",
                            "--interval", "5000"});
    QVERIFY(process.waitForStarted());
    QString output;
    QTRY_VERIFY((output += process.readAllStandardOutput()).contains("0f ff"));
    // A process that ended has no id: kill(0) would signal this test.
    QCOMPARE(process.state(), QProcess::Running);
    ::kill(pid_t(process.processId()), SIGINT);
    const PinworthRun stopped = Finish(process);
    QCOMPARE(stopped.exitCode, 130);
    QVERIFY(stopped.lines.isEmpty()); // its one line was read above
  }

  // Without --to, --sim plays what a capture read into the simulated device
  // of its model: pinworth prints the recorded reports and levels it then
  // reads, in order, and nothing of the other device's.
  void replaysIntoTheSimulatedDevice() {
    QTemporaryDir dir;
    const QString path = dir.filePath("read.pwcap");
    {
      std::string reason;
      auto writer = capture::CaptureWriter::create(path.toStdString(), &reason);
      QVERIFY(writer);
      const core::InterfaceIdentity b0{2, 2000, 0}, a1{1, 1000, 0};
      writer->addInterface(
          core::CaptureEntry(b0, pinworth::Interface0ReportDescriptor()));
      writer->addInterface(
          core::CaptureEntry(kKnownB1, pinworth::Interface1ReportDescriptor()));
      writer->addInterface(
          core::CaptureEntry(a1, pinworth::Interface1ReportDescriptor()));
      const uint8_t low[] = {0xf0, 0xff, 0xff, 0xff};
      const uint8_t key[] = {0x00, 0x16, 0, 0, 0, 0, 0};
      writer->appendReport(false, 0, 0, {}, low, 4);
      writer->appendReport(false, 1, 200'000, 0x0c, key, 7);
      writer->appendReport(false, 2, 250'000, 0x0c, key, 7); // the PinworthA's
      writer->close();
    }
    const PinworthRun run = RunPinworth({"--sim", "replay", path});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.lines.size() == 2, qPrintable(run.lines.join('\n')));
    QVERIFY(run.lines[0].contains("B 2000 if0    R  --  f0 ff ff ff"));
    QVERIFY(run.lines[1].contains("B 2000 if1    R  0c  00 16 00 00 00 00 00"));
    QVERIFY(
        run.errors.contains("Replaying " + path + " into PinworthB (SN 2000)"));

    const PinworthRun interval =
        RunPinworth({"--sim", "replay", path, "--interval", "5"});
    QCOMPARE(interval.exitCode, 2);
  }

  // Ctrl+C ends listening between reports, not by killing the program.
  void stopsOnCtrlC() {
    QProcess process;
    StartPinworth(process, {"--sim", "listen", "A:1000:1"});
    QVERIFY(process.waitForStarted());
    QString errors;
    QTRY_VERIFY(
        (errors += process.readAllStandardError()).contains("Ctrl+C stops"));
    QCOMPARE(process.state(), QProcess::Running);
    ::kill(pid_t(process.processId()), SIGINT);
    const PinworthRun run = Finish(process);
    QVERIFY(!run.crashed);
    QCOMPARE(run.exitCode, 130);
  }

  // Without a file, the six built-in macros; with one, its list, as it is.
  void listsTheStoredMacros() {
    PinworthRun run = RunPinworth({"--sim", "macro", "list"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.lines.size(), 7);
    QCOMPARE(run.lines[0], " 0  W  04  01 00 00 00 00 00 00  Enable LCD Mode");
    QVERIFY(run.lines[6].endsWith("sequence of 5 steps, once     Show Test on "
                                  "the display"));

    QVERIFY(WriteAll(preferences(), kPreferences));
    run = RunPinworth({"--sim", "--json", "macro", "list"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.lines.size(), 6);
    QCOMPARE(
        QJsonDocument::fromJson(run.lines[4].toUtf8()).object(),
        QJsonObject(
            {{"sequence", 0}, {"name", "Blink"}, {"steps", 2}, {"repeat", 2}}));
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
    QTest::newRow("a read report")
        << QStringList{"macro", "run", "A read", "--to", "0"} << 2
        << "the macro \"A read\" is not a report to write";
    QTest::newRow("no such name") << QStringList{"macro", "run", "LCD"} << 2
                                  << "no macro is named \"LCD\"";
    QTest::newRow("a sequence that fails")
        << QStringList{"macro", "run", "Too long", "--to", "A:1000:0"} << 4
        << "the sequence \"Too long\" stopped at step 2 of 2: its 5 bytes do "
           "not fit PinworthA (SN 1000) Interface 0's 4-byte reports";
  }

  // A sequence's reports in order, each after its delay, rounds back to
  // back, the time column from the sequence's start (the tolerance as in
  // the runner's own test).
  void runsASequenceOnItsSchedule() {
    const PinworthRun run =
        RunPinworth({"--sim", "macro", "run", "Blink", "--to", "A:1000:0"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.lines.size(), 4);
    const QList<double> due = {0, 0.040, 0.040, 0.080};
    for (qsizetype at = 0; at < due.size(); ++at) {
      QVERIFY(run.lines[at].contains(at % 2 ? "ff ff 00 00" : "00 ff 00 00"));
      const double late = Seconds(run.lines[at]) - due[at];
      QVERIFY2(late > -0.001 && late < 0.015, qPrintable(run.lines[at]));
    }
  }
  void runsAMacroOnlyWhereItIsMeant() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    const PinworthRun run = RunPinworth(QStringList{"--sim"} + arguments);
    QCOMPARE(run.exitCode, exitCode);
    const QString printed = exitCode == 0 ? run.lines.join(u'\n') : run.errors;
    QVERIFY2(printed.contains(output), qPrintable(printed));
    QCOMPARE(ReadAll(preferences()), kPreferences);
  }
};

QTEST_GUILESS_MAIN(PinworthSimTest)
#include "tst_pinworth_sim.moc"
