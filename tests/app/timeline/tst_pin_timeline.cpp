// The pin timeline: its history against every report it was given, and the
// timeline of the real window over a simulated device, its edges against the
// log's reports and its clicks against the log's selection.
#include "app/timeline/PinHistory.h"
#include "app/timeline/PinTimeline.h"
#include "app/timeline/PinTimelineView.h"
#include "tests/app/ExplorerFixture.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

using Trace = explorer::PinHistory::Trace;

struct Report {
  int64_t time;
  uint32_t pins;
};

// The pins changed by the reports after from, up to and including to.
uint32_t ChangedByHand(const std::vector<Report> &reports, int64_t from,
                       int64_t to) {
  uint32_t changed = 0;
  for (size_t i = 1; i < reports.size(); ++i)
    if (reports[i].time > from && reports[i].time <= to)
      changed |= reports[i].pins ^ reports[i - 1].pins;
  return changed;
}

} // namespace

class PinTimelineTest : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;
  bool windowOpen = false;

  explorer::PinTimeline *timeline() const {
    return fixture.window()->findChild<explorer::PinTimeline *>();
  }
  hid::sim::DeviceID start() {
    windowOpen = true;
    const hid::sim::DeviceID device = fixture.startWithPinworthA();
    return device;
  }
  // Ends the session, keeping the window's state, and starts another.
  void reopen() {
    fixture.close();
    fixture.backend().detachAll();
    start();
  }
  void showTimeline() {
    fixture.window()
        ->findChild<QAction *>("showPinTimelineAction")
        ->setChecked(true);
    QVERIFY(timeline() && timeline()->isVisible());
  }
  // Opens the view's context menu on pin's row and chooses the action whose
  // title starts with title.
  void chooseFromMenu(int pin, const QString &title) {
    explorer::PinTimelineView *view = timeline()->view();
    bool chosen = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
      auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
      if (!menu)
        return;
      for (QAction *action : menu->actions())
        if (action->text().startsWith(title)) {
          chosen = true;
          action->trigger();
        }
      menu->close();
    });
    poll.start(10);
    const QPoint at(view->width() / 2, view->rowTop(pin) + 2);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at,
                            view->mapToGlobal(at));
    QApplication::sendEvent(view, &event);
    QVERIFY2(chosen, qPrintable(title));
  }
  // Writes the latches of interface 0, pin 0 first in byte 0.
  void writeLatches(uint32_t pins) {
    QStringList bytes;
    for (int port = 0; port < 4; ++port)
      bytes << QString::number((pins >> (8 * port)) & 0xFF, 16);
    fixture.setFormTexts({}, bytes);
    fixture.click("writeButton");
  }

private slots:
  void initTestCase() { fixture.setUp(); }
  void cleanup() {
    if (windowOpen)
      fixture.cleanup();
    windowOpen = false;
  }

  // Thousands of reports, some alike, a few with a time that goes back; the
  // summary's answers equal those counted report by report, for spans of
  // every length, at both ends and inside the summary's blocks.
  void historyAnswersAsEveryReportSays() {
    QRandomGenerator random(7);
    explorer::PinHistory history;
    std::vector<Report> reports;
    int64_t time = 0;
    uint32_t pins = 0xFFFFFFFF;
    for (int i = 0; i < 20'000; ++i) {
      time += random.bounded(3) == 0 ? -5 : random.bounded(1, 40);
      if (random.bounded(4) != 0) // a quarter repeat the pins before
        pins ^= 1u << random.bounded(32) | (random.bounded(50) == 0 ? ~0u : 0);
      history.add(Trace::Level, time, pins, i);
      const int64_t kept =
          reports.empty() ? time : std::max(time, reports.back().time);
      reports.push_back({kept, pins});
    }
    QCOMPARE(history.changeCount(Trace::Latch), size_t(0));
    QVERIFY(!history.pinsAt(Trace::Latch, time));
    for (int n = 0; n < 300; ++n) {
      const int64_t from = random.bounded(int(time + 50)) - 20;
      const int64_t to =
          from + (n % 3 == 0 ? random.bounded(int(time)) : random.bounded(200));
      QCOMPARE(history.changedIn(Trace::Level, from, to),
               ChangedByHand(reports, from, to));
      // The pins as of to, and the edges of a pin around it.
      const auto last =
          std::find_if(reports.rbegin(), reports.rend(),
                       [to](const Report &r) { return r.time <= to; });
      const std::optional<uint32_t> at = history.pinsAt(Trace::Level, to);
      QCOMPARE(bool(at), last != reports.rend());
      if (at)
        QCOMPARE(*at, last->pins);
      const int pin = n % 32;
      const explorer::PinHistory::Edges edges =
          history.edgesAround(Trace::Level, pin, to);
      std::optional<int64_t> before, after;
      for (size_t i = 1; i < reports.size(); ++i)
        if ((reports[i].pins ^ reports[i - 1].pins) & (1u << pin)) {
          if (reports[i].time <= to)
            before = reports[i].time;
          else if (!after)
            after = reports[i].time;
        }
      QCOMPARE(edges.before ? std::optional(edges.before->time) : std::nullopt,
               before);
      QCOMPARE(edges.after ? std::optional(edges.after->time) : std::nullopt,
               after);
      // The pin's edges in the span, at most 20 of them.
      std::vector<int64_t> inSpan;
      for (size_t i = 1; i < reports.size() && inSpan.size() < 20; ++i)
        if ((reports[i].pins ^ reports[i - 1].pins) & (1u << pin) &&
            reports[i].time > from && reports[i].time <= to)
          inSpan.push_back(reports[i].time);
      std::vector<int64_t> found;
      for (const explorer::PinHistory::Change &edge :
           history.edgesIn(Trace::Level, pin, from, to, 20))
        found.push_back(edge.time);
      QCOMPARE(found, inSpan);
    }
    // A drawing's columns are the same spans asked one by one.
    std::vector<int64_t> bounds;
    for (int64_t t = -100; t < time + 100; t += 997)
      bounds.push_back(t);
    const std::vector<explorer::PinHistory::Column> columns =
        history.columns(Trace::Level, bounds);
    QCOMPARE(columns.size(), bounds.size() - 1);
    for (size_t i = 0; i < columns.size(); ++i) {
      QCOMPARE(columns[i].changed,
               history.changedIn(Trace::Level, bounds[i], bounds[i + 1]));
      QCOMPARE(columns[i].known,
               bool(history.pinsAt(Trace::Level, bounds[i + 1])));
    }
  }

  // A walking low latch written to interface 0: the timeline's latch edges
  // are the W rows that changed a pin, each at its row's time; a click on an
  // edge selects its row, and the selected row is marked.
  void timelineFollowsTheLog() {
    const hid::sim::DeviceID device = start();
    showTimeline();
    const uint32_t pattern[] = {0xFFFFFFFE, 0xFFFFFFFD, 0xFFFFFFFD, 0xFFFEFFFD,
                                0xFFFFFFFF};
    for (uint32_t pins : pattern)
      writeLatches(pins);
    fixture.backend().setPinPulledLow(device, 5, true);
    fixture.click("readButton");
    QTRY_VERIFY(timeline()->history().changeCount(Trace::Level) > 0);
    fixture.click("readButton");
    fixture.flushLog();
    QTRY_VERIFY(timeline()->caughtUp());
    const explorer::PinHistory &history = timeline()->history();
    explorer::LogTableModel &log = *fixture.log();
    // Report 0 is the polling event of the other rows; the W rows are
    // reports 0.. in the order written, all but the repeated one changes.
    std::vector<int> written;
    for (int i = 0; i < log.reportCount(); ++i)
      if (log.isReport(i) && log.logRow(i).isOutput())
        written.push_back(i);
    QCOMPARE(written.size(), std::size(pattern));
    QCOMPARE(history.changeCount(Trace::Latch), size_t(4));
    for (int pin : {0, 1, 16})
      for (int64_t at : {log.time(written[0]) - 1, log.time(written[2]),
                         log.time(written.back())}) {
        const explorer::PinHistory::Edges edges =
            history.edgesAround(Trace::Latch, pin, at);
        if (edges.before)
          QVERIFY(std::find(written.begin(), written.end(),
                            edges.before->report) != written.end());
      }
    QCOMPARE(*history.pinsAt(Trace::Latch, log.time(written[3])), pattern[3]);
    QVERIFY(!(*history.pinsAt(Trace::Level, log.time(log.reportCount() - 1)) &
              (1u << 5)));

    // Pin 1's latch went low with the second W row.
    explorer::PinTimelineView *view = timeline()->view();
    view->setSpan(log.time(written[0]), 200);
    const int x = view->xOf(log.time(written[1]));
    const int y = view->rowTop(1) + 4; // its latch's lane
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(x, y));
    const QModelIndex current =
        fixture.logTable()->selectionModel()->currentIndex();
    QVERIFY(current.isValid());
    QCOMPARE(log.reportAtRow(current.row()), written[1]);
    QCOMPARE(view->marker(), log.time(written[1]));
    // Hovering there names the pin's latch and its pulse.
    QVERIFY2(view->describe(x + 2, y).contains("latch low for"),
             qPrintable(view->describe(x + 2, y)));

    // Under a filter that hides the W rows, the click says so.
    fixture.widget<QLineEdit>("logFilterField")->setText("R");
    QTRY_VERIFY(log.rowCount() < log.reportCount() && !log.filtering());
    QCOMPARE(view->usPerPixel(), 200.0); // the span stays as it was
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(x, y));
    QVERIFY(timeline()
                ->findChild<QLabel *>("timelinePointerLabel")
                ->text()
                .contains("filter hides it"));

    // Clear Log starts the timeline again: no cursor or marker is left, and
    // its ruler counts from the log's new start, as the log's times do.
    fixture.widget<QLineEdit>("logFilterField")->clear();
    QTRY_VERIFY(!log.filtering());
    view->setCursor(0, log.time(written[1]));
    view->setCursor(1, log.time(written[3]));
    fixture.click("clearButton");
    QVERIFY(!view->cursorA() && !view->cursorB() && !view->marker());
    QCOMPARE(view->origin(), log.startTime());
    QVERIFY(view->start() >= log.startTime());
    writeLatches(0xFFFFFFFE);
    QTRY_COMPARE(timeline()->history().changeCount(Trace::Latch), size_t(1));
    QCOMPARE(view->origin(), log.startTime());
    QVERIFY(view->start() >= log.startTime());
  }

  // Pins hidden, moved and named from the menu come back so in the window's
  // next timeline; a saved order that is not one of pins is left out.
  void pinsKeepTheirPlacesAndNames() {
    start();
    showTimeline();
    chooseFromMenu(3, "&Hide pin 3");
    chooseFromMenu(5, "Move pin 5 &Up");
    WhenModalUp([](QWidget *modal) {
      auto *dialog = qobject_cast<QInputDialog *>(modal);
      QVERIFY(dialog);
      dialog->setTextValue(" enable ");
      dialog->accept();
    });
    chooseFromMenu(7, "&Name pin 7");
    std::vector<int> expected = {0, 1, 2, 5, 4};
    for (int pin = 6; pin < 32; ++pin)
      expected.push_back(pin);
    QCOMPARE(timeline()->view()->pinOrder(), expected);
    reopen();
    showTimeline();
    QCOMPARE(timeline()->view()->pinOrder(), expected);
    QCOMPARE(timeline()->view()->pinName(7), QString("enable"));
    QCOMPARE(timeline()->view()->pinName(8), QString("pin 8"));
    const QString statePath = fixture.process().windowState().filePath();
    fixture.close();
    QSettings(statePath, QSettings::IniFormat)
        .setValue("timeline/pinOrder", QStringList{"1", "1", "40"});
    reopen();
    showTimeline();
    QCOMPARE(timeline()->view()->pinOrder().size(), size_t(32));
    QCOMPARE(timeline()->view()->pinName(7), QString("enable"));
  }

  // What is shown, saved: a PNG of the part of the view in sight, and an SVG
  // with the pins' names as text; a file that cannot be written says so.
  // The whole goes to the capture's export, VCD offered.
  void savesWhatIsShown() {
    start();
    showTimeline();
    fixture.window()->resize(900, 700);
    writeLatches(0xFFFFFFFE);
    fixture.flushLog();
    QTRY_VERIFY(timeline()->history().changeCount(Trace::Latch) == 1);
    QTemporaryDir folder;
    const QString png = folder.filePath("pins.png");
    const QString svg = folder.filePath("pins.svg");
    QVERIFY(timeline()->saveImage(png));
    QVERIFY(timeline()->saveImage(svg));
    const QImage image(png);
    QVERIFY(!image.isNull());
    QVERIFY(image.height() < timeline()->view()->height()); // in sight only
    QCOMPARE(image.width(), timeline()->view()->width());
    QFile file(svg);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.contains("<svg"));
    QVERIFY(text.contains(">pin 0<"));
    QVERIFY(!timeline()->saveImage(folder.filePath("none/pins.svg")));
    QVERIFY(!timeline()->saveImage(folder.filePath("none/pins.png")));

    // The whole capture goes to the window's export, as VCD first.
    QString offered;
    WhenModalUp([&offered](QWidget *modal) {
      auto *dialog = qobject_cast<QFileDialog *>(modal);
      QVERIFY(dialog);
      offered = dialog->selectedNameFilter();
      dialog->reject();
    });
    chooseFromMenu(0, "Export All as &VCD");
    QVERIFY2(offered.startsWith("Pin signals, VCD"), qPrintable(offered));
  }

  // Pin 3's level pulses 10 ms high and 5 ms low: between the cursors the
  // hover lists the whole pulses of the lane, either cursor first, and a
  // long run by its first widths and its shortest and longest, then the
  // frequency and duty cycle of the whole periods, rising edge to rising
  // edge.
  void listsPulseWidthsBetweenTheCursors() {
    explorer::PinHistory history;
    int64_t time = 0;
    history.add(Trace::Level, time, 0, 0);
    for (int i = 1; i <= 30; ++i) {
      time += i % 2 ? (i == 29 ? 2000 : 5000) : 10'000;
      history.add(Trace::Level, time, i % 2 ? 1u << 3 : 0, i);
    }
    explorer::PinTimelineView view(history);
    view.resize(800, view.sizeHint().height());
    view.setSpan(0, 100);
    const int y = view.rowTop(3) + view.rowHeight() * 3 / 4; // the level
    const int x = view.xOf(20'000);
    QVERIFY(!view.describe(x, y).contains("between"));
    view.setCursor(0, 45'500);
    view.setCursor(1, 3000);
    QVERIFY2(view.describe(x, y).endsWith(
                 "; between A and B: 3 high (10.000 ms, 10.000 ms, 10.000 ms), "
                 "2 low (5.000 ms, 5.000 ms); 66.7 Hz, duty cycle 66.7 % over "
                 "2 periods"),
             qPrintable(view.describe(x, y)));
    // Inside one pulse, and on the latch lane, that was never written.
    view.setCursor(1, 14'000);
    view.setCursor(0, 5000);
    QVERIFY(view.describe(x, y).endsWith("; no whole pulse between A and B"));
    QVERIFY(!view.describe(x, view.rowTop(3) + 2).contains("between"));
    view.setCursor(0, 0);
    view.setCursor(1, time);
    QVERIFY2(view.describe(x, y).endsWith(
                 ", 10.000 ms), all 10.000 ms, 14 low (5.000 ms, "
                 "5.000 ms, 5.000 ms, 5.000 ms, 5.000 ms, 5.000 ms, 5.000 ms, "
                 "5.000 ms) from 2.000 ms to 5.000 ms; 67.6 Hz, duty cycle "
                 "67.6 % over 14 periods"),
             qPrintable(view.describe(x, y)));
    QVERIFY(view.describe(x, y).contains("between A and B: 15 high ("));
  }

  // The view's keys: fit shows the whole history, A and B put the cursors
  // and the readout gives the time between them.
  void keysZoomAndPlaceCursors() {
    start();
    showTimeline();
    writeLatches(0xFFFFFFFE);
    writeLatches(0xFFFFFFFF);
    fixture.flushLog();
    QTRY_VERIFY(timeline()->history().changeCount(Trace::Latch) == 2);
    explorer::PinTimelineView *view = timeline()->view();
    QTest::keyClick(view, Qt::Key_F);
    const double fitted = view->usPerPixel();
    QVERIFY(view->xOf(timeline()->history().firstTime()) >= 0);
    QVERIFY(view->xOf(timeline()->history().lastTime()) < view->width());
    QTest::keyClick(view, Qt::Key_Plus);
    QCOMPARE(view->usPerPixel(), std::max(fitted / 2, 0.05));
    QTest::keyClick(view, Qt::Key_A);
    const int64_t start = view->start();
    QTest::keyClick(view, Qt::Key_Right);
    QVERIFY(view->start() > start);
    QTest::keyClick(view, Qt::Key_B);
    QVERIFY(view->cursorA() && view->cursorB());
    QCOMPARE(*view->cursorB() - *view->cursorA(), view->start() - start);
    QVERIFY(timeline()
                ->findChild<QLabel *>("timelineCursorLabel")
                ->text()
                .contains("B − A"));
    QTest::keyClick(view, Qt::Key_Escape);
    QVERIFY(!view->cursorA() && !view->cursorB());
  }
};

QTEST_MAIN(PinTimelineTest)
#include "tst_pin_timeline.moc"
