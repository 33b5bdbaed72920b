// The display's reports on a simulated device: what its display holds after
// the reports that show two lines, what the read-back assembles from its
// answers, the exchange that sends each read request only once the one
// before has its answer, and infrared reception switched by its reports.
#include "core/reports/DisplayReports.h"

#include "platform/simulated/CharacterLcd.h"
#include "platform/simulated/VirtualPinworth.h"

#include <QTest>

using hid::sim::Model;
using hid::sim::VirtualPinworth;

Q_DECLARE_METATYPE(core::DisplayCursor)

namespace {

// Sends the reports to the device's interface 1; returns its answers.
std::vector<hid::sim::InputReport>
Send(VirtualPinworth &device,
     const std::vector<core::Interface1Report> &reports) {
  std::vector<hid::sim::InputReport> answers;
  for (const core::Interface1Report &report : reports)
    for (hid::sim::InputReport &answer :
         device.receiveOutputReport(1, report.data(), report.size()))
      answers.push_back(std::move(answer));
  return answers;
}

void Show(VirtualPinworth &device, const QString &line0, const QString &line1,
          core::DisplayCursor cursor) {
  const auto reports = core::ShowReports(line0, line1, cursor);
  QVERIFY(reports);
  Send(device, *reports);
}

// Runs the read-back's steps on the device, each answer to the read-back.
void ReadBack(VirtualPinworth &device, core::DisplayReadBack &readBack) {
  for (const core::DisplayReadBack::Step &step : readBack.steps())
    for (const hid::sim::InputReport &answer : Send(device, {step.report}))
      QVERIFY(readBack.takeAnswer(answer.bytes.data(), answer.bytes.size()));
}

QString Visible(const QString &line) {
  return line.leftJustified(core::kDisplayColumns, u' ');
}

} // namespace

class DisplayReportsTest : public QObject {
  Q_OBJECT

private slots:
  void show_data() {
    QTest::addColumn<QString>("line0");
    QTest::addColumn<QString>("line1");
    QTest::addColumn<core::DisplayCursor>("cursor");
    QTest::addColumn<bool>("cursorOn");
    QTest::addColumn<bool>("blinks");
    QTest::newRow("first line, blinking block")
        << "Hello"
        << "" << core::DisplayCursor::BlinkingBlock << true << true;
    QTest::newRow("two full lines, underline")
        << "0123456789abcdef"
        << "Sixteen letters!" << core::DisplayCursor::Underline << true
        << false;
    QTest::newRow("second line only, no cursor")
        << ""
        << "  x" << core::DisplayCursor::Off << false << false;
    QTest::newRow("one report, then one over")
        << "Exact6"
        << "Seven 7" << core::DisplayCursor::Off << false << false;
  }
  // What the display held before is gone; the display is on.
  void show() {
    QFETCH(QString, line0);
    QFETCH(QString, line1);
    QFETCH(core::DisplayCursor, cursor);
    QFETCH(bool, cursorOn);
    QFETCH(bool, blinks);
    VirtualPinworth device(Model::PinworthA);
    Show(device, QString(16, u'#'), QString(16, u'#'),
         core::DisplayCursor::BlinkingBlock);
    Show(device, line0, line1, cursor);
    QCOMPARE(QString::fromStdString(device.displayLine(0)), Visible(line0));
    QCOMPARE(QString::fromStdString(device.displayLine(1)), Visible(line1));
    QVERIFY(device.display().displayOn());
    QCOMPARE(device.display().cursorOn(), cursorOn);
    QCOMPARE(device.display().cursorBlinks(), blinks);
  }

  // 17 characters, one that is not ASCII, a control character.
  void refusesWhatTheDisplayCannotShow() {
    for (const QString &line :
         {QString("seventeen letters"), QString::fromUtf8("caf\xc3\xa9"),
          QString("a\tb")}) {
      QString reason;
      QVERIFY(!core::ShowReports({}, line, core::DisplayCursor::Off, &reason));
      QVERIFY2(!reason.isEmpty(), qPrintable(line));
    }
  }

  // The read-back gives what the display model holds, whole lines or the
  // start of the first.
  void readsBackWhatTheDisplayHolds() {
    VirtualPinworth device(Model::PinworthA);
    Show(device, "Hello, world", "second line", core::DisplayCursor::Underline);
    core::DisplayReadBack both;
    ReadBack(device, both);
    QVERIFY(both.complete());
    QCOMPARE(both.line(0).toStdString(), device.displayLine(0));
    QCOMPARE(both.line(1).toStdString(), device.displayLine(1));

    core::DisplayReadBack start(1, 5);
    ReadBack(device, start);
    QVERIFY(start.complete());
    QCOMPARE(start.line(0), QByteArray("Hello"));
    QCOMPARE(start.line(1), QByteArray());
  }

  // An answer that is not the one awaited is not taken; a device whose LCD
  // mode is off does not answer at all.
  void takesOnlyTheAnswersItAwaits() {
    core::DisplayReadBack readBack(1, 8);
    const uint8_t other[8] = {0x0C, 0x00, 0x16};
    const uint8_t shortAnswer[8] = {0x06, 0x82, 'H', 'i'};
    const uint8_t first[8] = {0x06, 0x86, 'H', 'e', 'l', 'l', 'o', ' '};
    QVERIFY(!readBack.takeAnswer(other, sizeof other));
    QVERIFY(!readBack.takeAnswer(shortAnswer, sizeof shortAnswer));
    QVERIFY(readBack.takeAnswer(first, sizeof first));
    QVERIFY(!readBack.takeAnswer(first, sizeof first));
    QVERIFY(readBack.takeAnswer(shortAnswer, sizeof shortAnswer));
    QVERIFY(readBack.complete());
    QCOMPARE(readBack.line(0), QByteArray("Hello Hi"));

    VirtualPinworth device(Model::PinworthA);
    Send(device, {core::LcdModeReport(false)});
    core::DisplayReadBack unanswered;
    ReadBack(device, unanswered);
    QVERIFY(!unanswered.complete());
  }

  // Each read request waits for its answer, and only that answer lets the
  // next report go; the exchange ends with what the display holds.
  void exchangeAwaitsEachAnswer() {
    VirtualPinworth device(Model::PinworthA);
    Show(device, "Exchanged", "", core::DisplayCursor::Off);
    Send(device, {core::LcdModeReport(false)});
    core::DisplayExchange exchange({core::LcdModeReport(true)},
                                   core::DisplayReadBack(1, 9));
    int requests = 0;
    while (!exchange.finished()) {
      std::vector<hid::sim::InputReport> answers;
      while (const std::optional<core::Interface1Report> report =
                 exchange.next())
        for (hid::sim::InputReport &answer : Send(device, {*report}))
          answers.push_back(std::move(answer));
      QVERIFY(exchange.awaitsAnswer());
      ++requests;
      QCOMPARE(answers.size(), size_t(1));
      const uint8_t other[8] = {0x0C, 0x00, 0x16};
      QVERIFY(!exchange.takeAnswer(other, sizeof other));
      QVERIFY(!exchange.next());
      QVERIFY(exchange.takeAnswer(answers[0].bytes.data(),
                                  answers[0].bytes.size()));
    }
    QCOMPARE(requests, 2);
    QCOMPARE(exchange.readBack().line(0), QByteArray("Exchanged"));
  }

  void switchesInfraredReception() {
    VirtualPinworth device(Model::PinworthB);
    Send(device, {core::InfraredReport(true)});
    QVERIFY(device.infraredOn());
    QCOMPARE(device.pressRemoteKey(0x2a, 0x14).size(), size_t(1));
    Send(device, {core::InfraredReport(false)});
    QVERIFY(!device.infraredOn());
    QVERIFY(device.pressRemoteKey(0x2a, 0x14).empty());
  }
};

QTEST_APPLESS_MAIN(DisplayReportsTest)
#include "tst_display_reports.moc"
