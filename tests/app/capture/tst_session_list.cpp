// The sessions a user finds again: File > Recent Sessions lists the kept
// sessions newest first by start, duration, devices and rows, and opens the
// one chosen; a log cleared or closed before it held a row leaves no
// session; a session opened read-only saves a copy wherever the user names.
#include "tests/app/ExplorerFixture.h"
#include "tests/support/ModalTestSupport.h"
#include "tests/support/WholeFiles.h"

#include "app/MessageBar.h"
#include "app/capture/CaptureWindow.h"
#include "app/capture/SessionSummary.h"
#include "capture/CaptureWriter.h"
#include "core/interfaces/CaptureSources.h"

#include <QFileDialog>
#include <QLabel>
#include <QMenu>

namespace {

using hid::sim::Model;

QStringList Texts(const QMenu &menu) {
  QStringList texts;
  for (const QAction *action : menu.actions())
    texts << action->text();
  return texts;
}

} // namespace

class SessionListTest : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;

  // The sessions kept, newest first.
  QStringList kept() const {
    QStringList sessions =
        explorer::SessionStore(fixture.homePath() +
                               "/.local/state/Pinworth/sessions")
            .sessions();
    std::reverse(sessions.begin(), sessions.end());
    return sessions;
  }
  QMenu *recentMenu() const {
    auto *menu = fixture.window()->findChild<QMenu *>("recentSessionsMenu");
    emit menu->aboutToShow();
    return menu;
  }
  // Sends count reports to A's interface 1, which the window listens to.
  void sendReports(hid::sim::DeviceID a, int count) {
    const int before = fixture.records().size();
    for (int n = 0; n < count; ++n)
      fixture.backend().sendInputReport(a, 1,
                                        {0x0C, 0, uint8_t(n), 0, 0, 0, 0, 0});
    QTRY_COMPARE(fixture.records().size(), before + count);
  }

private slots:
  void initTestCase() {
    qputenv("TZ", "UTC");
    fixture.setUp();
  }
  void cleanup() { fixture.cleanup(); }

  // Counted from the index records and the rows after the last of them,
  // with the devices of the interface table, each once.
  void aSummaryCountsEveryRowAndNamesEachDevice() {
    QTemporaryDir folder;
    const QString path = folder.filePath("session-1.pwcap");
    std::string reason;
    const int64_t start =
        QDateTime::fromString("2026-12-10T15:04:00Z", Qt::ISODate)
            .toMSecsSinceEpoch() *
        1000;
    {
      auto writer =
          capture::CaptureWriter::create(path.toStdString(), &reason, start);
      QVERIFY2(writer, reason.c_str());
      const uint16_t a1 =
          writer->addInterface(core::CaptureEntry({1, 1000, 0}, {}));
      const uint16_t a0 =
          writer->addInterface(core::CaptureEntry({0, 1000, 0}, {}));
      const uint16_t b1 =
          writer->addInterface(core::CaptureEntry({3, 2000, 0}, {}));
      writer->appendEvent(a1, 0, capture::EventKind::ListeningStarted,
                          "started listening: PinworthA (SN 1000) Interface 1");
      const uint8_t data[4] = {1, 2, 3, 4};
      constexpr int kReports = 70000; // past the first index record
      for (int n = 0; n < kReports; ++n)
        writer->appendReport(false, n % 2 ? a0 : b1, 1000 + n, std::nullopt,
                             data, 4);
      writer->appendReport(true, a1, 125'400'000, 0x04, data, 1);
      QVERIFY(!writer->close().failed);
    }
    QString error;
    const std::optional<explorer::SessionSummary> summary =
        explorer::SummarizeSession(path, &error);
    QVERIFY2(summary, qPrintable(error));
    QCOMPARE(summary->rows, uint64_t(70002));
    QCOMPARE(summary->durationUS, 125'400'000);
    QCOMPARE(explorer::SessionLabel(*summary),
             "2026-12-10 15:04 · 2 min 5 s · PinworthA (SN 1000), PinworthB "
             "(SN 2000) · 70,002 rows");

    QVERIFY(QFile::link(path, folder.filePath("session-2.pwcap")));
    QVERIFY(!explorer::SummarizeSession(folder.filePath("session-2.pwcap"),
                                        &error));
    QVERIFY(!error.isEmpty());
  }

  void emptyLogsLeaveNoSession() {
    const hid::sim::DeviceID a = fixture.startWithPinworthA();
    fixture.click("clearButton");
    const int before = kept().size();
    fixture.click("clearButton");
    QCOMPARE(kept().size(), before);
    fixture.chooseInterface(1);
    fixture.click("readButton");
    sendReports(a, 3);
    fixture.click("clearButton");
    QCOMPARE(kept().size(), before + 1);
    fixture.close();
    QCOMPARE(kept().size(), before + 1);
  }

  void recentSessionsListNewestFirstAndOpen() {
    const hid::sim::DeviceID a = fixture.startWithPinworthA();
    fixture.chooseInterface(1);
    fixture.click("readButton");
    sendReports(a, 4);
    const int firstRows = fixture.log()->reportCount();
    fixture.click("clearButton");
    sendReports(a, 9);
    const int secondRows = fixture.log()->reportCount();
    fixture.click("clearButton");

    const QStringList texts = Texts(*recentMenu());
    QCOMPARE(texts.size(), kept().size());
    const QString device = QStringLiteral(" · PinworthA (SN 1000) · ");
    QVERIFY2(texts[0].endsWith(device + QString::number(secondRows) + " rows"),
             qPrintable(texts[0]));
    QVERIFY2(texts[1].endsWith(device + QString::number(firstRows) + " rows"),
             qPrintable(texts[1]));
    QVERIFY2(texts[0].startsWith(
                 QDateTime::currentDateTimeUtc().toString("yyyy-MM-dd")),
             qPrintable(texts[0]));

    const QString newest = kept().front();
    recentMenu()->actions().front()->trigger();
    const std::vector<explorer::CaptureWindow *> windows =
        fixture.process().captures().openWindows();
    QCOMPARE(windows.size(), size_t(1));
    explorer::CaptureWindow *opened = windows.front();
    QCOMPARE(opened->windowTitle(),
             QFileInfo(newest).fileName() + " (read-only)");
    QTRY_COMPARE(opened->log()->reportCount(), secondRows);
  }

  void aSessionSavesACopyWhereTheUserNamesIt() {
    const hid::sim::DeviceID a = fixture.startWithPinworthA();
    fixture.chooseInterface(1);
    fixture.click("readButton");
    sendReports(a, 5);
    fixture.click("clearButton");
    const QString session = kept().front();
    explorer::CaptureWindow *opened =
        fixture.process().captures().open(session, fixture.window());
    QVERIFY(opened);
    const QString copy = fixture.homePath() + "/bring-up.pwcap";
    ModalWatchdog watchdog;
    WhenModalUp([&](QWidget *modal) {
      auto *dialog = qobject_cast<QFileDialog *>(modal);
      QVERIFY(dialog);
      QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(),
               QFileInfo(session).fileName());
      dialog->selectFile(copy);
      static_cast<QDialog *>(dialog)->accept();
    });
    opened->findChild<QAction *>("saveCaptureAction")->trigger();
    VerifyModalsClosed(watchdog);
    QCOMPARE(ReadAll(copy), ReadAll(session));
    auto *message = opened->findChild<QLabel *>("messageText");
    QVERIFY(message && message->isVisibleTo(opened));
    QCOMPARE(message->text(), "Saved as " + copy + ".");
  }
};

QTEST_MAIN(SessionListTest)
#include "tst_session_list.moc"
