// The exports read back by the tools they are for (tshark, sigrok-cli,
// GTKWave's converters), hid-recorder text there and back, and CSV.
#include "core/reports/LogRowText.h"
#include "interop/CaptureExport.h"
#include "interop/CaptureImport.h"
#include "tests/interop/KnownCapture.h"
#include "tests/support/ProcessLimits.h"
#include "tests/support/WholeFiles.h"

#include <pcap/pcap.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <map>

namespace {

// A tool's standard output; fails the test when it is not installed or
// does not end well.
QByteArray Run(const QString &program, const QStringList &arguments) {
  if (QStandardPaths::findExecutable(program).isEmpty()) {
    qWarning("%s is not installed: scripts/install-packages installs it",
             qPrintable(program));
    return {};
  }
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(60000) || process.exitCode() != 0) {
    qWarning("%s failed: %s", qPrintable(program),
             process.readAllStandardError().constData());
    return {};
  }
  return process.readAllStandardOutput();
}

QByteArray ReportBytes(const KnownRow &row) {
  QByteArray bytes;
  if (row.reportID)
    bytes += char(*row.reportID);
  for (uint8_t byte : row.data)
    bytes += char(byte);
  return bytes;
}

// A wire's values over time as a VCD reader sees them: (tick, '0' / '1' /
// 'x') at each change, from tick 0.
using Changes = std::vector<std::pair<int64_t, char>>;

// What the known capture's interface 0 rows make of each wire.
std::map<QString, Changes> ExpectedChanges() {
  std::map<QString, Changes> wires;
  for (const char *kind : {"latch", "level"})
    for (int pin = 0; pin < 32; ++pin)
      wires[QStringLiteral("A_1000_0_") + kind + QString::number(pin)] = {
          {0, 'x'}};
  for (const KnownRow &row : KnownRows()) {
    if (row.source != 0)
      continue;
    const int64_t tick = row.timeUS / 100; // from the capture's start
    for (int pin = 0; pin < 32; ++pin) {
      Changes &changes =
          wires[QStringLiteral("A_1000_0_") +
                (row.written ? "latch" : "level") + QString::number(pin)];
      const char value =
          (row.data[size_t(pin / 8)] >> (pin % 8)) & 1 ? '1' : '0';
      if (changes.back().second == value)
        continue;
      if (changes.back().first == tick)
        changes.pop_back();
      changes.emplace_back(tick, value);
    }
  }
  return wires;
}

// The value of a field anywhere in a frame of tshark's JSON.
QString Field(const QJsonObject &tree, const QString &name) {
  for (auto it = tree.begin(); it != tree.end(); ++it) {
    if (it.key() == name && it->isString())
      return it->toString();
    if (it->isObject())
      if (const QString value = Field(it->toObject(), name); !value.isNull())
        return value;
  }
  return QString();
}

char ValueAt(const Changes &changes, int64_t tick) {
  char value = 'x';
  for (const auto &[at, changed] : changes)
    if (at <= tick)
      value = changed;
  return value;
}

// The changes of each wire in VCD text, by the wires' names.
std::map<QString, Changes> ReadVcd(const QByteArray &text) {
  std::map<QByteArray, QString> names;
  std::map<QString, Changes> wires;
  int64_t time = 0;
  for (const QByteArray &line : text.split('\n')) {
    const QList<QByteArray> words = line.simplified().split(' ');
    if (words.size() >= 5 && words[0] == "$var")
      names[words[3]] = QString::fromLatin1(words[4]);
    else if (line.startsWith('#'))
      time = line.mid(1).toLongLong();
    else if (line.size() >= 2 && QByteArray("01xX").contains(line[0]) &&
             names.count(line.mid(1).trimmed())) {
      Changes &changes = wires[names[line.mid(1).trimmed()]];
      const char value = char(tolower(line[0]));
      if (!changes.empty() && changes.back().first == time)
        changes.pop_back(); // the last value at a time is the one it has
      if (changes.empty() || changes.back().second != value)
        changes.emplace_back(time, value);
    }
  }
  return wires;
}

// An interrupt transfer of bus 1, address 5, as usbmon shows it: OUT data
// on the submission ('S'), IN data on the completion ('C').
struct UsbPacket {
  uint8_t endpoint;
  char type;
  std::vector<uint8_t> data;
};

// A pcap of usbmon (link type 220, the 64-byte header) holding packets.
void WriteUsbmonPcap(const QString &path,
                     const std::vector<UsbPacket> &packets) {
  pcap_t *dead = pcap_open_dead(DLT_USB_LINUX_MMAPPED, 65535);
  pcap_dumper_t *dump = pcap_dump_open(dead, QFile::encodeName(path));
  QVERIFY(dump);
  uint64_t urb = 1;
  for (const UsbPacket &packet : packets) {
    std::vector<uint8_t> bytes(64);
    std::memcpy(&bytes[0], &urb, sizeof urb);
    ++urb;
    bytes[8] = uint8_t(packet.type);
    bytes[9] = 1; // interrupt
    bytes[10] = packet.endpoint;
    bytes[11] = 5;   // the address
    bytes[12] = 1;   // the bus
    bytes[14] = '-'; // no setup
    const auto length = uint32_t(packet.data.size());
    std::memcpy(&bytes[32], &length, sizeof length);
    std::memcpy(&bytes[36], &length, sizeof length);
    bytes.insert(bytes.end(), packet.data.begin(), packet.data.end());
    pcap_pkthdr header{};
    header.ts.tv_sec = 1000 + long(urb);
    header.caplen = header.len = uint32_t(bytes.size());
    pcap_dump(reinterpret_cast<u_char *>(dump), &header, bytes.data());
  }
  pcap_dump_close(dump);
  pcap_close(dead);
}

} // namespace

class InteropTest : public QObject {
  Q_OBJECT
private slots:
  void initTestCase() {
    QVERIFY(home_.isValid());
    reader_ = WriteKnownCapture(path("known.pwcap"));
    QVERIFY(reader_);
  }

  // Every report as a USB transfer tshark dissects: bytes, direction, time,
  // device and report ID as it decodes them against the descriptors.
  void tsharkReadsEveryReportOfThePcapng() {
    const interop::ExportOutcome outcome = interop::ExportCapture(
        *reader_, interop::Format::Pcapng, path("known.pcapng"));
    QVERIFY2(outcome.written, qPrintable(outcome.error));
    QCOMPARE(outcome.exported, KnownRows().size());
    QCOMPARE(outcome.skipped, 2u); // the event and the gap
    const QJsonArray frames =
        QJsonDocument::fromJson(
            Run("tshark", {"-r", path("known.pcapng"), "-T", "json", "-x"}))
            .array();
    QVERIFY(!frames.isEmpty());

    // The transfers that carry reports, after the descriptors asked for.
    struct Seen {
      QString type, endpoint, device;
      qint64 timeUS; // the frame's, or -1 when the URB's says otherwise
      QString reportID;
      QByteArray bytes;
    };
    std::vector<Seen> seen;
    for (const QJsonValue &frame : frames) {
      const QJsonObject layers = frame["_source"]["layers"].toObject();
      const QString type = Field(layers, "usb.urb_type");
      const QString transferType = Field(layers, "usb.transfer_type");
      const bool getReport = transferType == "0x02" &&
                             Field(layers, "usbhid.setup.bRequest") == "0x01";
      const bool interrupt = transferType == "0x01";
      const QByteArray raw = QByteArray::fromHex(
          layers["frame_raw"].toArray()[0].toString().toLatin1());
      const QStringList time = Field(layers, "frame.time_epoch").split('.');
      const qint64 frameUS =
          time[0].toLongLong() * 1000000 + time[1].left(6).toLongLong();
      const qint64 urbUS =
          Field(layers, "usb.urb_ts_sec").toLongLong() * 1000000 +
          Field(layers, "usb.urb_ts_usec").toLongLong();
      const qint64 timeUS = frameUS == urbUS ? frameUS : -1;
      const Seen transfer = {
          type,
          Field(layers, "usb.endpoint_address"),
          Field(layers, "usb.device_address"),
          timeUS,
          Field(layers, "usbhid.data.report_id"),
          QByteArray::fromHex(
              Field(layers, "usbhid.data").remove(':').toLatin1())};
      if (interrupt && !transfer.bytes.isEmpty())
        seen.push_back(transfer);
      else if (getReport && type == "'S'")
        seen.push_back({type,
                        "get report",
                        transfer.device,
                        timeUS,
                        Field(layers, "usbhid.setup.ReportID"),
                        {}});
      else if (!seen.empty() && seen.back().endpoint == "get report" &&
               type == "'C'" && transferType == "0x02")
        seen.back().bytes = raw.mid(64); // tshark leaves its data undecoded
    }
    QCOMPARE(seen.size(), KnownRows().size());
    const QString deviceA = seen[0].device;
    for (size_t i = 0; i < seen.size(); ++i) {
      const KnownRow &row = KnownRows()[i];
      const Seen &transfer = seen[i];
      QCOMPARE(transfer.timeUS, reader_->header().startUnixUS + row.timeUS);
      QCOMPARE(transfer.device == deviceA, row.source == 0);
      QCOMPARE(transfer.bytes, ReportBytes(row));
      const QString endpoint = row.written  ? (row.source ? "0x02" : "0x01")
                               : row.source ? "0x82"
                                            : "get report";
      QCOMPARE(transfer.endpoint, endpoint);
      QCOMPARE(transfer.type, row.written ? "'S'" : row.source ? "'C'" : "'S'");
      if (row.reportID)
        QCOMPARE(transfer.reportID.toUInt(nullptr, 0), *row.reportID);
    }
  }

  // sigrok samples every wire at each 100 us tick: each sample is the value
  // the capture's interface 0 rows gave the pin by then.
  void sigrokSamplesThePinsOfTheVcd() {
    QVERIFY(interop::ExportCapture(*reader_, interop::Format::Vcd,
                                   path("known.vcd"))
                .written);
    const QByteArray csv =
        Run("sigrok-cli", {"-I", "vcd", "-i", path("known.vcd"), "-O", "csv"});
    QStringList channels;
    std::vector<QList<QByteArray>> samples;
    for (const QByteArray &line : csv.split('\n')) {
      if (line.startsWith("; Channels"))
        channels = QString::fromLatin1(line.mid(line.indexOf(':') + 1))
                       .split(',', Qt::SkipEmptyParts);
      else if (!line.isEmpty() && (line[0] == '0' || line[0] == '1'))
        samples.push_back(line.split(','));
    }
    QCOMPARE(channels.size(), 64);
    const std::map<QString, Changes> expected = ExpectedChanges();
    const int64_t lastTick = KnownRows().back().timeUS / 100;
    QCOMPARE(int64_t(samples.size()), lastTick + 1);
    for (int channel = 0; channel < channels.size(); ++channel) {
      const Changes &changes = expected.at(channels[channel].trimmed());
      for (int64_t tick = 0; tick <= lastTick; ++tick) {
        const char value = ValueAt(changes, tick);
        QVERIFY2(
            samples[size_t(tick)][channel][0] == (value == '1' ? '1' : '0'),
            qPrintable(
                QString("%1 at tick %2").arg(channels[channel]).arg(tick)));
      }
    }
  }

  // GTKWave's own converters there and back keep every wire's changes.
  void gtkwaveKeepsEveryEdgeOfTheVcd() {
    QVERIFY(interop::ExportCapture(*reader_, interop::Format::Vcd,
                                   path("edges.vcd"))
                .written);
    Run("vcd2fst", {path("edges.vcd"), path("edges.fst")});
    const std::map<QString, Changes> read =
        ReadVcd(Run("fst2vcd", {path("edges.fst")}));
    const std::map<QString, Changes> expected = ExpectedChanges();
    QCOMPARE(read.size(), expected.size());
    for (const auto &[wire, changes] : expected)
      QVERIFY2(read.at(wire) == changes, qPrintable(wire));
  }

  // Exported and imported again, the reports are the capture's: the same
  // interfaces, bytes, report IDs and times since the first.
  void hidRecorderTextComesBackAsTheCapture() {
    QVERIFY(interop::ExportCapture(*reader_, interop::Format::HidRecorder,
                                   path("known.hid"))
                .written);
    const interop::ImportOutcome imported = interop::ImportCapture(
        path("known.hid"), interop::Format::HidRecorder, path("back.pwcap"));
    QVERIFY2(imported.written, qPrintable(imported.error));
    QCOMPARE(imported.imported, KnownRows().size());
    verifyKnownRows(path("back.pwcap"), KnownRows().front().timeUS);
  }

  // A pcapng exported, and the pcap tshark makes of it without the
  // descriptors, come back as the capture's reports: the devices named by
  // their descriptors, or by --device.
  void usbmonCapturesComeBackAsTheCapture() {
    QVERIFY(interop::ExportCapture(*reader_, interop::Format::Pcapng,
                                   path("round.pcapng"))
                .written);
    const interop::ImportOutcome imported = interop::ImportCapture(
        path("round.pcapng"), interop::Format::Pcapng, path("round.pwcap"));
    QVERIFY2(imported.written, qPrintable(imported.error));
    QCOMPARE(imported.imported, KnownRows().size());
    verifyKnownRows(path("round.pwcap"), 0);
    if (QTest::currentTestFailed())
      return;

    Run("tshark", {"-r", path("round.pcapng"), "-Y", "usb.transfer_type == 1",
                   "-F", "pcap", "-w", path("bare.pcap")});
    const interop::ImportOutcome unnamed = interop::ImportCapture(
        path("bare.pcap"), interop::Format::Pcap, path("bare.pwcap"));
    QVERIFY(!unnamed.written);
    QVERIFY(unnamed.error.contains("--device BUS:ADDRESS"));
    const interop::ImportOutcome named =
        interop::ImportCapture(path("bare.pcap"), interop::Format::Pcap,
                               path("bare.pwcap"), {.device = {{1, 3}}});
    QVERIFY2(named.written, qPrintable(named.error));
    QCOMPARE(named.imported, 3u); // interface 1's three reports
    std::string reason;
    const auto bare =
        capture::CaptureReader::open(path("bare.pwcap").toStdString(), &reason);
    QVERIFY(bare);
    QCOMPARE(bare->recordCount(), 3u);
    QCOMPARE(
        core::IdentityOfSource(bare->interfaces(), bare->record(0).source),
        core::InterfaceIdentity({1, 0, 0})); // a PinworthA, its serial unknown
    QCOMPARE(bare->record(2).reportID, 0x0c);
  }

  // A usbmon capture begun after its device was enumerated names none of
  // its endpoints: each takes the interface its reports' sizes tell, saying
  // so, and one whose reports tell neither is refused. An interrupt transfer
  // on endpoint 0, the control endpoint, is a corrupt packet, skipped.
  void usbmonEndpointsAreToldBySize() {
    const std::vector<UsbPacket> packets = {
        {0x02, 'S', {0x01, 0x00, 0x00, 0x00}}, // interface 0 written
        {0x81, 'C', {0xfe, 0xff, 0xff, 0xff}}, // and read
        {0x81, 'C', {0xff, 0xff, 0xff, 0xff}},
        {0x83, 'C', {0x0c, 1, 2, 3, 4, 5, 6, 7}}, // interface 1 read
        {0x04, 'S', {0x05, 1, 2, 3, 4, 5, 6, 7}}, // and written
        {0x80, 'C', {0xff, 0xff, 0xff, 0xff}},    // corrupt: endpoint 0
    };
    WriteUsbmonPcap(path("late.pcap"), packets);
    const interop::ImportOutcome imported =
        interop::ImportCapture(path("late.pcap"), interop::Format::Pcap,
                               path("late.pwcap"), {.device = {{1, 5}}});
    QVERIFY2(imported.written, qPrintable(imported.error));
    QCOMPARE(imported.imported, 5u);
    QCOMPARE(imported.notes,
             QStringList({"endpoint 0x02 of device 1:5 taken for interface 0, "
                          "as its reports are of 4 bytes",
                          "endpoint 0x04 of device 1:5 taken for interface 1, "
                          "as its reports are of 8 bytes",
                          "endpoint 0x81 of device 1:5 taken for interface 0, "
                          "as its reports are of 4 bytes",
                          "endpoint 0x83 of device 1:5 taken for interface 1, "
                          "as its reports are of 8 bytes"}));
    std::string reason;
    const auto late =
        capture::CaptureReader::open(path("late.pwcap").toStdString(), &reason);
    QVERIFY2(late, reason.c_str());
    QCOMPARE(late->recordCount(), 5u);
    const auto interfaceOf = [&](uint64_t i) {
      return core::IdentityOfSource(late->interfaces(), late->record(i).source)
          ->interfaceType;
    };
    for (uint64_t i = 0; i < 5; ++i)
      QCOMPARE(interfaceOf(i), i < 3 ? 0 : 1);
    QCOMPARE(late->record(0).kind, capture::RecordKind::Written);
    QCOMPARE(late->record(1).kind, capture::RecordKind::Read);
    QCOMPARE(late->record(3).reportID, 0x0c);

    std::vector<UsbPacket> mixed = packets;
    mixed.push_back({0x81, 'C', {0x0c, 1, 2, 3, 4, 5, 6, 7}});
    WriteUsbmonPcap(path("mixed.pcap"), mixed);
    const interop::ImportOutcome refused =
        interop::ImportCapture(path("mixed.pcap"), interop::Format::Pcap,
                               path("mixed.pwcap"), {.device = {{1, 5}}});
    QVERIFY(!refused.written);
    QCOMPARE(refused.error,
             "the interface of endpoint 0x81 of device 1:5 cannot be told: the "
             "capture does not hold the device's enumeration, and its reports "
             "are of 4 and 8 bytes");
    QVERIFY(!QFile::exists(path("mixed.pwcap")));
  }

  // A recording of a bus with more than a Pinworth keeps the Pinworth's
  // reports; the others and the lines that do not read are counted. A
  // second node named as the first is its next occurrence.
  void hidRecorderImportKeepsOnlyThePinworths() {
    const QByteArray text = "# a user's recording\n"
                            "D: 0\n"
                            "R: 2 05 01\n"
                            "N: Mouse\n"
                            "I: 3 046d c077\n"
                            "D: 1\n"
                            "R: 3 06 00 ff\n"
                            "N: Pinworth PinworthB\n"
                            "P: usb-0000:00:14.0-2/input1\n"
                            "I: 3 1209 0002\n"
                            "D: 2\n"
                            "R: 3 06 00 ff\n"
                            "P: usb-0000:00:14.0-3/input1\n"
                            "I: 3 1209 0002\n"
                            "D: 0\n"
                            "E: 0.000000 3 00 01 02\n"
                            "D: 1\n"
                            "E: 0.500000 8 0c 01 02 03 04 05 06 07\n"
                            "E: 0.6 9 0c\n"
                            "E: 1.25 2 0c 09\n";
    QVERIFY(WriteAll(path("bus.hid"), text));
    const interop::ImportOutcome imported = interop::ImportCapture(
        path("bus.hid"), interop::Format::HidRecorder, path("bus.pwcap"));
    QVERIFY2(imported.written, qPrintable(imported.error));
    QCOMPARE(imported.imported, 2u);
    QCOMPARE(imported.skipped, 2u); // the mouse's report, the bad line
    std::string reason;
    const auto bus =
        capture::CaptureReader::open(path("bus.pwcap").toStdString(), &reason);
    QVERIFY(bus);
    QCOMPARE(bus->record(1).timeUS, 1250000);
    QCOMPARE(bus->record(1).size, 1);
    QCOMPARE(core::IdentityOfSource(bus->interfaces(), 0)->interfaceType, 3);
    QCOMPARE(core::IdentityOfSource(bus->interfaces(), 0)->occurrence, 0);
    QCOMPARE(core::IdentityOfSource(bus->interfaces(), 1)->occurrence, 1);

    QVERIFY(WriteAll(path("mouse.hid"), text.left(text.indexOf("D: 1"))));
    const interop::ImportOutcome none = interop::ImportCapture(
        path("mouse.hid"), interop::Format::HidRecorder, path("none.pwcap"));
    QVERIFY(!none.written);
    QCOMPARE(none.error, "it holds no Pinworth device");
    QVERIFY(!QFile::exists(path("none.pwcap")));
  }

  // CSV has the log's header and a row for every record the log shows:
  // reports, the gap and the event, with the log's words.
  void csvHasTheLogsRows() {
    QVERIFY(interop::ExportCapture(*reader_, interop::Format::Csv,
                                   path("known.csv"))
                .written);
    const QList<QByteArray> lines = ReadAll(path("known.csv")).split('\n');
    QCOMPARE(lines[0] + '\n', core::CsvHeader());
    QCOMPARE(lines.size(), 1 + int(KnownRows().size()) + 2 + 1);
    QVERIFY(lines[3].contains(",B 2000 if1,event,") &&
            lines[3].contains("started listening: PinworthB (SN 2000) "
                              "Interface 1"));
    QVERIFY(lines[4].startsWith("0.003500,")); // as pinworth dump has it
    QVERIFY(lines[4].contains(",B 2000 if1,R,06,41,42,43,44,45,46,47,"));
    QVERIFY(lines[6].contains(",lost,") && lines[6].contains("3 reports lost"));
  }

  // A file that cannot be written, or an export stopped, leaves no file.
  void aFailedOrStoppedExportLeavesNoFile() {
    const interop::ExportOutcome failed = interop::ExportCapture(
        *reader_, interop::Format::Pcapng, path("no/such/folder/x.pcapng"));
    QVERIFY(!failed.written);
    QVERIFY(failed.error.contains("no/such/folder/x.pcapng"));
    const interop::ExportOutcome stopped = interop::ExportCapture(
        *reader_, interop::Format::Csv, path("stopped.csv"),
        [](uint64_t, uint64_t) { return false; });
    QVERIFY(!stopped.written);
    QVERIFY(stopped.error.isEmpty());
    QVERIFY(!QFile::exists(path("stopped.csv")));
    // Room for part of it: no cut file takes the place of the old one.
    QVERIFY(WriteAll(path("old.csv"), "old"));
    {
      std::signal(SIGXFSZ, SIG_IGN); // as the programs do
      const WithLimit fileSize(RLIMIT_FSIZE, 200);
      const interop::ExportOutcome full = interop::ExportCapture(
          *reader_, interop::Format::Csv, path("old.csv"));
      QVERIFY(!full.written);
      QCOMPARE(full.error,
               "could not write " + path("old.csv") + ": File too large");
    }
    QCOMPARE(ReadAll(path("old.csv")), "old");
  }

private:
  QString path(const QString &name) const { return home_.filePath(name); }

  // The capture at path holds the known rows, each shift earlier.
  void verifyKnownRows(const QString &capturePath, int64_t shift) {
    std::string reason;
    const auto back =
        capture::CaptureReader::open(capturePath.toStdString(), &reason);
    QVERIFY2(back, reason.c_str());
    QCOMPARE(back->recordCount(), KnownRows().size());
    for (size_t i = 0; i < KnownRows().size(); ++i) {
      const KnownRow &row = KnownRows()[i];
      const capture::Record record = back->record(i);
      QCOMPARE(record.kind == capture::RecordKind::Written, row.written);
      QCOMPARE(*core::IdentityOfSource(back->interfaces(), record.source),
               row.source ? kKnownB1 : kKnownA0);
      QCOMPARE(record.timeUS, row.timeUS - shift);
      QCOMPARE(record.hasReportID, bool(row.reportID));
      QCOMPARE(record.reportID, row.reportID.value_or(0));
      QCOMPARE(std::vector<uint8_t>(record.data.begin(),
                                    record.data.begin() + record.size),
               row.data);
    }
  }

  QTemporaryDir home_;
  std::unique_ptr<capture::CaptureReader> reader_;
};

QTEST_GUILESS_MAIN(InteropTest)
#include "tst_interop.moc"
