// The windows' logs on disk: each window writes its log to a capture in the
// user's state folder as it grows; Save Capture As and Open Capture give
// back exactly the rows logged; Clear Log and closing keep the capture as a
// session, and old sessions go oldest first; Export Capture writes it as
// the log's CSV, and File > Import… opens another tool's recording as a
// capture; a full disk stops the capture, not the log, and neither a full
// disk nor a link in the store makes an orphan of what is not one; a
// terminated explorer closes its capture; and the log of an explorer
// killed while it logs is offered at the next start, every row up to its
// last 100 ms in it.
#include "tests/app/ExplorerFixture.h"
#include "tests/support/FullDisk.h"
#include "tests/support/ModalTestSupport.h"
#include "tests/support/ProcessLimits.h"
#include "tests/support/WholeFiles.h"

#include "app/capture/CaptureExporter.h"
#include "app/capture/CaptureWindow.h"
#include "capture/CaptureReader.h"
#include "interop/CaptureExport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>

#include <csignal>
#include <sys/stat.h>

namespace {

using hid::sim::Model;

// The cells a capture keeps of a log's row: all but the time.
QStringList RowTexts(explorer::LogTableModel *log) {
  QStringList rows;
  for (int i = 0; i < log->reportCount(); ++i) {
    QStringList cells;
    for (int column = 0; column < explorer::LogTableModel::kColumnCount;
         ++column)
      if (column != explorer::LogTableModel::kTimeColumn)
        cells << log->cellText(i, column);
    rows << cells.join('|');
  }
  return rows;
}

int Mode(const QString &path) {
  struct stat status = {};
  ::stat(QFile::encodeName(path).constData(), &status);
  return int(status.st_mode & 0777);
}

// The child's rows: report 0x0C with its sequence number in bytes 0-3.
uint32_t SequenceNumber(const capture::Record &record) {
  uint32_t n = 0;
  std::memcpy(&n, record.data.data(), sizeof n);
  return n;
}

// The child process: an explorer window on no device that answers the
// question about an orphaned log with the button PINWORTH_LOGGING_CHILD
// names, then logs a numbered report every millisecond and prints each
// number once it is logged, until it is killed.
int RunLoggingChild(int argc, char **argv) {
  QApplication application(argc, argv);
  hid::sim::SimBackend backend;
  hid::SetBackend(&backend);
  explorer::ExplorerProcess process;
  process.newWindow();
  explorer::LogTableModel *log = process.controllers().front()->logModel();
  const QString answer = qEnvironmentVariable("PINWORTH_LOGGING_CHILD");
  uint32_t next = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (auto *box =
            qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
      std::printf("asked: %s\n", qPrintable(box->text()));
      for (QAbstractButton *button : box->buttons())
        if (button->text() == answer)
          button->click();
      return;
    }
    uint8_t data[7] = {};
    std::memcpy(data, &next, sizeof next);
    log->append(false, 0x0C, 7, data);
    std::printf("%u\n", next++);
    std::fflush(stdout);
  });
  timer.start(1);
  return application.exec();
}

} // namespace

class CapturesTest : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;

  QString sessions() const {
    return fixture.homePath() + "/.local/state/Pinworth/sessions";
  }
  explorer::LogCapture *capture() const {
    return fixture.process().captures().captureOf(fixture.window());
  }
  QString message() const {
    auto *bar = fixture.widget<QLabel>("messageText");
    return bar && bar->isVisibleTo(fixture.window()) ? bar->text() : QString();
  }
  // Listens to A's interface 1 and logs count reports from it, and one write.
  void logSome(hid::sim::DeviceID a, int count) {
    fixture.chooseInterface(1);
    fixture.click("readButton");
    for (int n = 0; n < count; ++n) {
      fixture.backend().sendInputReport(a, 1,
                                        {0x0C, 0, uint8_t(n), 0, 0, 0, 0, 0});
      if (n % 32 == 31) // the kernel's queue holds 64
        fixture.backend().waitForKernelQueues();
    }
    fixture.setFormTexts("04", {"01"});
    fixture.click("writeButton");
    QTRY_COMPARE(fixture.records().size(), count + 1);
  }

private slots:
  void initTestCase() { fixture.setUp(); }
  void cleanup() { fixture.cleanup(); }

  void openCaptureShowsExactlyTheRowsLogged() {
    const hid::sim::DeviceID a = fixture.startWithPinworthA();
    logSome(a, 50);
    fixture.backend().detach(a);
    QTRY_VERIFY(fixture.log()->reportCount() > 52); // the unplug's events
    const QString copy = fixture.homePath() + "/copy.pwcap";
    QString reason;
    QVERIFY2(
        fixture.process().captures().saveTo(fixture.window(), copy, &reason),
        qPrintable(reason));
    QCOMPARE(Mode(copy), 0600);
    explorer::CaptureWindow *opened =
        fixture.process().captures().open(copy, fixture.window());
    QVERIFY(opened);
    QCOMPARE(RowTexts(opened->log()), RowTexts(fixture.log()));
    QCOMPARE(opened->windowTitle(), "copy.pwcap (read-only)");

    AlertAnswerer alerts;
    QVERIFY(!fixture.process().captures().open(
        fixture.homePath() + "/.config/Pinworth", fixture.window()));
    QCOMPARE(alerts.shown().size(), 1);
    QVERIFY2(alerts.shown()[0].startsWith("Pinworth cannot be opened. | "),
             qPrintable(alerts.shown()[0]));
  }

  // Save As onto a full disk says why and leaves the file it would have
  // replaced as it was, with no partial copy beside it.
  void saveAsOntoAFullDiskKeepsTheOldFile() {
    const hid::sim::DeviceID a = fixture.startWithPinworthA();
    logSome(a, 10);
    const QString folder = fixture.homePath() + "/full";
    const FullDisk disk(folder, 16 << 10);
    if (!disk.mounted())
      QSKIP("mounting a tmpfs needs root");
    const QByteArray old(8 << 10, 'o');
    QVERIFY(WriteAll(folder + "/bench.pwcap", old));
    QString reason;
    QVERIFY(!fixture.process().captures().saveTo(
        fixture.window(), folder + "/bench.pwcap", &reason));
    QVERIFY2(reason.contains("No space left on device"), qPrintable(reason));
    QCOMPARE(ReadAll(folder + "/bench.pwcap"), old);
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"bench.pwcap"});
  }

  // One time base: each row's time in the window is its record's in the
  // capture, as pinworth dump prints it, counted from the log's start (not
  // from its first row); Clear Log starts both again.
  void theWindowAndItsCaptureShareOneTimeBase() {
    const hid::sim::DeviceID a = fixture.startWithPinworthA();
    const auto sameTimes = [this] {
      capture()->flush();
      std::string reason;
      const auto reader = capture::CaptureReader::open(
          capture()->path().toStdString(), &reason);
      QVERIFY2(reader, reason.c_str());
      const explorer::LogTableModel *log = fixture.log();
      QVERIFY(log->reportCount() > 0);
      for (int row = 0; row < log->reportCount(); ++row)
        QCOMPARE(
            log->cellText(row, explorer::LogTableModel::kTimeColumn),
            QString::asprintf(
                "%.6f", double(reader
                                   ->record(capture::RecordOfSingleRecordRow(
                                       uint64_t(row)))
                                   .timeUS) /
                            1e6));
    };
    QTest::qWait(300);
    logSome(a, 5);
    sameTimes();
    const explorer::LogTableModel *log = fixture.log();
    QVERIFY2(
        log->cellText(0, explorer::LogTableModel::kTimeColumn).toDouble() >=
            0.3,
        qPrintable(log->cellText(0, explorer::LogTableModel::kTimeColumn)));
    fixture.click("clearButton");
    QTest::qWait(100);
    fixture.setFormTexts("04", {"02"});
    fixture.click("writeButton");
    QTRY_COMPARE(fixture.records().size(), 1);
    sameTimes();
    const double afterClear =
        log->cellText(log->reportCount() - 1,
                      explorer::LogTableModel::kTimeColumn)
            .toDouble();
    QVERIFY2(afterClear >= 0.1 && afterClear < 0.3,
             qPrintable(QString::number(afterClear)));
  }

  // Export Capture writes the log's rows as the log's own CSV has them,
  // from a thread of its own; stopped, it leaves no file.
  void exportCaptureWritesTheLogsRows() {
    const hid::sim::DeviceID a = fixture.startWithPinworthA();
    logSome(a, 50);
    capture()->flush();
    const QString csv = fixture.homePath() + "/log.csv";
    explorer::CaptureExporter exporter(capture()->path(), interop::Format::Csv,
                                       csv);
    QSignalSpy finished(&exporter, &explorer::CaptureExporter::finished);
    exporter.start();
    QTRY_COMPARE(finished.size(), 1);
    QVERIFY(finished[0][0].value<interop::ExportOutcome>().written);
    // Beyond the times, each row is the log's.
    const auto withoutTimes = [](const QByteArray &record) {
      return record.mid(record.indexOf(',', record.indexOf(',') + 1));
    };
    QList<QByteArray> lines = ReadAll(csv).split('\n');
    lines.removeLast(); // after the last line end
    QCOMPARE(lines.size(), fixture.log()->reportCount() + 1);
    for (int i = 0; i < fixture.log()->reportCount(); ++i)
      QCOMPARE(withoutTimes(lines[i + 1] + '\n'),
               withoutTimes(fixture.log()->csvRecord(i)));

    explorer::CaptureExporter stopped(capture()->path(),
                                      interop::Format::Pcapng,
                                      fixture.homePath() + "/stopped.pcapng");
    QSignalSpy stoppedFinished(&stopped, &explorer::CaptureExporter::finished);
    stopped.cancel();
    stopped.start();
    QTRY_COMPARE(stoppedFinished.size(), 1);
    const auto outcome = stoppedFinished[0][0].value<interop::ExportOutcome>();
    QVERIFY(!outcome.written && outcome.error.isEmpty());
    QVERIFY(!QFile::exists(fixture.homePath() + "/stopped.pcapng"));
  }

  // File > Export Capture… opens where the user saved last (home at first,
  // not the sessions folder) with a name suggested; the extension typed
  // picks the format whatever the filter says, and a name typed without
  // one takes the filter's.
  void exportCaptureTakesTheTypedExtension() {
    const hid::sim::DeviceID a = fixture.startWithPinworthA();
    logSome(a, 10);
    auto *exportAction =
        fixture.window()->findChild<QAction *>("exportCaptureAction");
    const QString folder = fixture.homePath() + "/exports";
    QVERIFY(QDir().mkpath(folder));
    const auto exportAs = [&](const QString &typed, QString *openedIn) {
      ModalWatchdog watchdog;
      WhenModalUp([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        *openedIn = dialog->directory().absolutePath();
        QVERIFY2(QFileInfo(dialog->selectedFiles().value(0))
                     .fileName()
                     .startsWith("capture-"),
                 qPrintable(dialog->selectedFiles().value(0)));
        QCOMPARE(dialog->selectedNameFilter(), interop::ExportFilters()[0]);
        dialog->selectFile(typed);
        static_cast<QDialog *>(dialog)->accept();
      });
      exportAction->trigger();
      VerifyModalsClosed(watchdog);
    };
    QString openedIn;
    exportAs(folder + "/pins.vcd", &openedIn);
    QCOMPARE(openedIn, QDir::homePath());
    QTRY_VERIFY(QFileInfo(folder + "/pins.vcd").size() > 0);
    QVERIFY(ReadAll(folder + "/pins.vcd").startsWith("$date"));
    QVERIFY(!QFile::exists(folder + "/pins.vcd.pcapng"));
    exportAs(folder + "/plain", &openedIn);
    QCOMPARE(openedIn, folder);
    QTRY_VERIFY(QFileInfo(folder + "/plain.pcapng").size() > 0);
  }

  // File > Import… reads a file as its extension says, whatever filter the
  // dialog was left on, and opens it as a capture of its own.
  void importOpensAnotherToolsFile() {
    const hid::sim::DeviceID a = fixture.startWithPinworthA();
    logSome(a, 10);
    capture()->flush();
    std::string reason;
    const auto reader =
        capture::CaptureReader::open(capture()->path().toStdString(), &reason);
    QVERIFY2(reader, reason.c_str());
    const QString recording = fixture.homePath() + "/recording.hid";
    QVERIFY(interop::ExportCapture(*reader, interop::Format::HidRecorder,
                                   recording, {})
                .written);

    ModalWatchdog watchdog;
    AlertAnswerer alerts;
    WhenModalUp([&](QWidget *modal) {
      auto *dialog = qobject_cast<QFileDialog *>(modal);
      QVERIFY(dialog);
      dialog->selectNameFilter(interop::ImportFilters().first()); // pcapng
      dialog->selectFile(recording);
      static_cast<QDialog *>(dialog)->accept();
    });
    const QList<QAction *> actions =
        fixture.window()->findChildren<QAction *>();
    const auto import =
        std::find_if(actions.begin(), actions.end(), [](QAction *action) {
          return action->text() == "&Import…";
        });
    QVERIFY(import != actions.end());
    (*import)->trigger();
    VerifyModalsClosed(watchdog);
    QCOMPARE(alerts.shown(), QStringList());
    explorer::CaptureWindow *opened = nullptr;
    for (QWidget *window : QApplication::topLevelWidgets())
      if (auto *captureWindow = qobject_cast<explorer::CaptureWindow *>(window))
        opened = captureWindow;
    QVERIFY(opened);
    // The reports in the log's order, their bytes, no events.
    const auto reports = [](explorer::LogTableModel *log) {
      QStringList rows;
      for (int i = 0; i < log->reportCount(); ++i) {
        const QString direction =
            log->cellText(i, explorer::LogTableModel::kDirectionColumn);
        if (direction == "R" || direction == "W")
          rows << direction + log->cellText(
                                  i, explorer::LogTableModel::kFirstByteColumn);
      }
      return rows;
    };
    QCOMPARE(reports(opened->log()).size(), 11); // ten reads, a write
    QCOMPARE(reports(opened->log()), reports(fixture.log()));
  }

  void clearLogKeepsTheCaptureAsASession() {
    const hid::sim::DeviceID a = fixture.startWithPinworthA();
    logSome(a, 10);
    const QString first = capture()->path();
    const int before =
        int(explorer::SessionStore(sessions()).sessions().size());
    QVERIFY(QFileInfo(first).fileName().startsWith("current-"));
    QCOMPARE(Mode(sessions()), 0700);
    QCOMPARE(Mode(first), 0600);
    fixture.click("clearButton");
    QVERIFY(capture()->path() != first);
    const QStringList kept = explorer::SessionStore(sessions()).sessions();
    QCOMPARE(kept.size(), before + 1);
    std::string reason;
    const auto reader =
        capture::CaptureReader::open(kept.back().toStdString(), &reason);
    QVERIFY2(reader, reason.c_str());
    QVERIFY(reader->recordCount() >= 11);
    fixture.close(); // the log, empty since, is no session
    QCOMPARE(explorer::SessionStore(sessions()).sessions().size(), before + 1);
  }

  // Past 20 sessions, or 2 GiB of them, the oldest go; the newest stays
  // whatever its size, and current captures are never touched.
  void oldSessionsGoOldestFirst() {
    QTemporaryDir folder;
    const explorer::SessionStore store(folder.path());
    const auto make = [&](const QString &name, qint64 size) {
      QFile file(folder.filePath(name));
      QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size));
    };
    for (int n = 10; n < 31; ++n)
      make(QStringLiteral("session-20261201-%1.pwcap").arg(n), 100);
    make("current-20261130-00.pwcap", 100);
    make("current-20261207-00.pwcap", 100);
    store.keep(folder.filePath("current-20261207-00.pwcap"));
    QStringList kept = store.sessions();
    QCOMPARE(kept.size(), explorer::SessionStore::kKeptCount);
    QCOMPARE(QFileInfo(kept.front()).fileName(), "session-20261201-12.pwcap");
    QCOMPARE(QFileInfo(kept.back()).fileName(), "session-20261207-00.pwcap");
    QVERIFY(QFile::exists(folder.filePath("current-20261130-00.pwcap")));

    make("current-20261208-00.pwcap",
         explorer::SessionStore::kKeptBytes + 1); // sparse
    store.keep(folder.filePath("current-20261208-00.pwcap"));
    kept = store.sessions();
    QCOMPARE(kept.size(), 1);
    QCOMPARE(QFileInfo(kept.front()).fileName(), "session-20261208-00.pwcap");
  }

  void aFullDiskStopsTheCaptureNotTheLog() {
    const hid::sim::DeviceID a = fixture.startWithPinworthA();
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    {
      // The header, the interface table, then room for 100 records.
      const WithLimit fileSize(RLIMIT_FSIZE, 64 + 65536 + 24 * 100);
      logSome(a, 300);
      QTRY_VERIFY(message().startsWith(
          "The log is no longer written to disk: could not write "));
    }
    std::signal(SIGXFSZ, previous);
    QVERIFY2(message().contains("File too large"), qPrintable(message()));
    QCOMPARE(fixture.records().size(), 301);
    std::string reason;
    const auto reader =
        capture::CaptureReader::open(capture()->path().toStdString(), &reason);
    QVERIFY2(reader, reason.c_str());
    // 99 records leave room for the one that marks where writing stopped.
    QCOMPARE(reader->recordCount(), uint64_t(100));
    QCOMPARE(reader->record(98).kind, capture::RecordKind::Read);
    QCOMPARE(reader->record(99).kind, capture::RecordKind::WritingStopped);
    // Where it stopped is marked in the log, and in the capture, which
    // opens whole up to there.
    const QStringList rows = RowTexts(fixture.log());
    const QStringList marked = rows.filter("writing the log to disk stopped");
    QCOMPARE(marked.size(), 1);
    explorer::CaptureWindow *opened =
        fixture.process().captures().open(capture()->path(), fixture.window());
    QVERIFY(opened);
    QCOMPARE(RowTexts(opened->log()), rows.mid(0, 99) + marked);

    // The log goes on in memory up to its bound, and then counts the reports
    // it does not keep in its last row.
    explorer::LogTableModel *log = fixture.log();
    const int before = log->reportCount();
    constexpr int kAppended = int(explorer::LogTableModel::kMostRowsInMemory);
    const uint8_t data[4] = {1, 2, 3, 4};
    for (int n = 0; n < kAppended; ++n)
      log->append(false, core::kNoReportID, 4, data);
    const int kept = log->reportCount() - 1;
    QVERIFY(kept < before + kAppended);
    QVERIFY(log->isReport(kept - 1));
    QCOMPARE(log->cellText(kept, explorer::LogTableModel::kDecodedColumn),
             QString("%1 reports not kept: the log in memory is full")
                 .arg(before + kAppended - kept));
    log->announce();
    QCOMPARE(log->rowCount(), kept + 1);
  }

  // A state folder on a full disk, or a file-size limit below a capture's:
  // the window starts, says why its log is not written, and takes no
  // capture it could not write for an orphan; its writes go on.
  void aCaptureThatCannotBeginIsNoOrphan() {
    fixture.backend().attach(Model::PinworthA, "1000");
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    for (const bool fullDisk : {true, false}) {
      const FullDisk disk(sessions());
      if (fullDisk && !disk.mounted())
        continue; // mounting a tmpfs needs root
      const WithLimit fileSize(RLIMIT_FSIZE, fullDisk ? RLIM_INFINITY : 1024);
      AlertAnswerer alerts;
      fixture.loadAndWake();
      QTest::qWait(50); // the orphans are looked for after the first show
      QVERIFY2(message().startsWith("The log is no longer written to disk: "
                                    "could not write "),
               qPrintable(message()));
      QVERIFY(message().contains(fullDisk ? "No space left on device"
                                          : "File too large"));
      fixture.click("writeButton");
      QCOMPARE(alerts.shown(), QStringList());
      QCOMPARE(fixture.records().size(), 1);
      QCOMPARE(QDir(sessions()).entryList({"*.pwcap"}), QStringList());
      fixture.close();
    }
    std::signal(SIGXFSZ, previous);
  }

  // The store never follows a link: a sessions folder that is one is
  // refused, the folder it names left as it was; an orphan that is a link
  // (here to a FIFO, which would block an open) is left alone.
  void theStoreFollowsNoLink() {
    QTemporaryDir elsewhere;
    QVERIFY(QFile::setPermissions(elsewhere.path(),
                                  QFile::ReadOwner | QFile::WriteOwner |
                                      QFile::ExeOwner | QFile::ReadOther |
                                      QFile::ExeOther));
    QVERIFY(QDir(sessions()).removeRecursively());
    QDir().mkpath(QFileInfo(sessions()).path());
    QVERIFY(QFile::link(elsewhere.path(), sessions()));
    fixture.startWithPinworthA();
    QCOMPARE(message(), "The log is no longer written to disk: " + sessions() +
                            " is not a folder but a link or a file; captures "
                            "are kept only in a folder of your own. It goes on "
                            "in this window; what was written is kept.");
    QCOMPARE(Mode(elsewhere.path()), 0705);
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files), QStringList());
    fixture.close();
    QVERIFY(QFile::remove(sessions()));

    QDir().mkpath(sessions());
    const QString fifo = elsewhere.filePath("fifo");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QVERIFY(QFile::link(fifo, sessions() + "/current-20261201-000000-000-1-1."
                                           "pwcap"));
    QCOMPARE(::mkfifo(QFile::encodeName(sessions() + "/current-20261201-"
                                                     "000000-000-1-2.pwcap")
                          .constData(),
                      0600),
             0);
    AlertAnswerer alerts;
    fixture.loadAndWake();
    QTest::qWait(50);
    QCOMPARE(alerts.shown(), QStringList());
    QVERIFY(capture() && !capture()->path().isEmpty());
    QCOMPARE(explorer::SessionStore(sessions()).orphans(), QStringList());
  }

  // A logout's SIGTERM closes the windows, and with them their captures.
  void aTerminatedExplorerKeepsItsCapture() {
    QTemporaryDir home;
    QProcess explorer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    environment.remove("XDG_STATE_HOME");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    explorer.setProcessEnvironment(environment);
    explorer.start(PINWORTH_EXPLORER_SIM, {});
    const explorer::SessionStore store(home.path() +
                                       "/.local/state/Pinworth/sessions");
    QTRY_COMPARE_WITH_TIMEOUT(
        QDir(store.folder()).entryList({"current-*"}).size(), 1, 10000);
    explorer.terminate();
    QVERIFY(explorer.waitForFinished(10000));
    QCOMPARE(explorer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(explorer.exitCode(), 0);
    // Closed as a window closes: its log held no row, so it is no session.
    QCOMPARE(QDir(store.folder()).entryList({"current-*"}).size(), 0);
    QCOMPARE(store.sessions().size(), 0);
  }

  // An explorer killed while it logs, 20 times at random moments, and
  // started again each time: the capture of each run holds every row it
  // logged up to 100 ms before it was killed, in order, none missing, also
  // when the run before's log was offered and opened, or offered and left
  // for later; each offered log is kept as a session.
  void aKilledExplorersLogIsKeptAndOffered() {
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", home.path() + "/.config");
    environment.insert("XDG_STATE_HOME", home.path() + "/.local/state");
    const explorer::SessionStore store(home.path() +
                                       "/.local/state/Pinworth/sessions");
    QRandomGenerator random(20261209);
    for (int run = 0; run < 20; ++run) {
      environment.insert("PINWORTH_LOGGING_CHILD",
                         run % 2 ? "Open" : "Not Now");
      QProcess child;
      child.setProcessEnvironment(environment);
      child.start(QCoreApplication::applicationFilePath());
      QVERIFY(child.waitForStarted());
      // When each number was read here, on one clock with the kill.
      std::vector<qint64> readAt;
      QStringList asked;
      QElapsedTimer clock;
      const qint64 killAfter = 50 + random.bounded(400);
      while (child.waitForReadyRead(10000)) {
        while (child.canReadLine()) {
          const QString line = QString::fromUtf8(child.readLine()).trimmed();
          if (line.startsWith("asked: ")) {
            asked << line;
            continue;
          }
          if (readAt.empty())
            clock.start();
          readAt.push_back(clock.elapsed());
        }
        if (!readAt.empty() && clock.elapsed() >= killAfter)
          break;
      }
      QVERIFY2(!readAt.empty(), qPrintable(child.readAllStandardError()));
      QCOMPARE(asked, run == 0 ? QStringList()
                               : QStringList{"asked: The explorer ended "
                                             "without closing its log"});
      child.kill();
      const qint64 killedAt = clock.elapsed();
      QVERIFY(child.waitForFinished());
      const auto mustHave =
          uint64_t(std::count_if(readAt.begin(), readAt.end(), [&](qint64 at) {
            return at <= killedAt - 100;
          }));
      const QStringList orphans = store.orphans();
      QCOMPARE(orphans.size(), 1);
      std::string reason;
      const auto kept =
          capture::CaptureReader::open(orphans[0].toStdString(), &reason);
      QVERIFY2(kept, reason.c_str());
      QVERIFY2(kept->recordCount() >= mustHave,
               qPrintable(QString("run %1: %2 of %3 rows")
                              .arg(run)
                              .arg(kept->recordCount())
                              .arg(mustHave)));
      for (uint64_t i = 0; i < kept->recordCount(); ++i)
        QCOMPARE(SequenceNumber(kept->record(i)), uint32_t(i));
      QCOMPARE(store.sessions().size(),
               qsizetype(std::min(run, explorer::SessionStore::kKeptCount)));
    }
  }
};

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsSet("PINWORTH_LOGGING_CHILD"))
    return RunLoggingChild(argc, argv);
  QApplication application(argc, argv);
  CapturesTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_captures.moc"
