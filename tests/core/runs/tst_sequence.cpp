// Sequences: the stored form (what is usable, and what the explorer writes
// reads back the same), their list beside the macro list in one preferences
// file, and the runner's schedule, failures and stop.
#include "core/runs/MacroEntry.h"
#include "core/runs/ReplayPlan.h"
#include "core/runs/SequenceRunner.h"
#include "tests/support/WholeFiles.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

std::optional<core::Sequence> Decoded(QByteArray text) {
  text.replace('\'', '"');
  auto parsed = core::json::Parse(text);
  if (!std::holds_alternative<core::json::Value>(parsed))
    return std::nullopt;
  return core::SequenceEntry({text, std::get<core::json::Value>(parsed)})
      .sequence();
}

struct Sent {
  qint64 atMS;
  QByteArray data;
};

} // namespace

class SequenceTest : public QObject {
  Q_OBJECT

private slots:
  void storedForm_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("steps"); // -1: not usable
    QTest::newRow("once") << QByteArray("{'name': 'a', 'steps': [[0, 5, '01 "
                                        "80'], [10, null, '']], 'x': 1}")
                          << 2;
    QTest::newRow("repeat") << QByteArray("{'name': '', 'steps': [[0, 255, "
                                          "'0102030405060a']], 'repeat': 3}")
                            << 1;
    QTest::newRow("every") << QByteArray("{'name': 'p', 'steps': [[3600000, "
                                         "0, '00']], 'every ms': 1.0}")
                           << 1;
    QTest::newRow("no steps") << QByteArray("{'name': 'a', 'steps': []}") << -1;
    QTest::newRow("eight bytes")
        << QByteArray("{'name': 'a', 'steps': [[0, 1, '0102030405060708']]}")
        << -1;
    QTest::newRow("report ID 256")
        << QByteArray("{'name': 'a', 'steps': [[0, 256, '']]}") << -1;
    QTest::newRow("negative delay")
        << QByteArray("{'name': 'a', 'steps': [[-1, 1, '']]}") << -1;
    QTest::newRow("delay past an hour")
        << QByteArray("{'name': 'a', 'steps': [[3600001, 1, '']]}") << -1;
    QTest::newRow("repeat 0")
        << QByteArray("{'name': 'a', 'steps': [[0, 1, '']], 'repeat': 0}")
        << -1;
    QTest::newRow("every 0")
        << QByteArray("{'name': 'a', 'steps': [[0, 1, '']], 'every ms': 0}")
        << -1;
    QTest::newRow("repeat twice")
        << QByteArray("{'name': 'a', 'steps': [[0, 1, '']], "
                      "'repeat': 1, 'repeat': 1}")
        << -1;
    QTest::newRow("odd hex")
        << QByteArray("{'name': 'a', 'steps': [[0, 1, '123']]}") << -1;
    QTest::newRow("step of two")
        << QByteArray("{'name': 'a', 'steps': [[0, 1]]}") << -1;
    QTest::newRow("a macro") << QByteArray("{'R/W': 'W', 'Id': 4, 'data': "
                                           "'01', 'name': 'a'}")
                             << -1;
  }
  void storedForm() {
    QFETCH(QByteArray, text);
    QFETCH(int, steps);
    const std::optional<core::Sequence> sequence = Decoded(text);
    QCOMPARE(sequence ? int(sequence->steps.size()) : -1, steps);
    if (sequence)
      QCOMPARE(Decoded(core::SequenceEntry(*sequence).text()), sequence);
  }

  // Storing a sequence leaves the macro list's text byte for byte as it
  // was, so a reader of macros alone sees the same macros; a file without
  // sequences shows the built-in one, the display macros in their order.
  void sequencesLiveBesideTheMacros() {
    QTemporaryDir home;
    const QString path = home.filePath("defaults.json");
    const QByteArray macros = "[ {\"R/W\":\"W\",\"Id\":5,\"data\":\"01 80\","
                              "\"name\":\"Home\"},\n  {\"hand\": \"edited\"} ]";
    WriteAll(path, "{\"default macros\": " + macros + "}\n");
    core::UserDefaults sequences(path, core::kSequencesKey);
    core::RegisterDefaultSequences(sequences);
    const QList<core::SequenceEntry> builtIn =
        core::ReadSequences(sequences.list());
    QCOMPARE(builtIn.size(), 1);
    const core::Sequence &showTest = *builtIn[0].sequence();
    QCOMPARE(showTest.name, "Show Test on the display");
    QCOMPARE(showTest.steps.size(), 5);
    QCOMPARE(showTest.steps[2].data, QByteArray("\x84Test\0\0", 7));

    core::Sequence blink{"Blink", {{0, -1, "\x01"}, {250, -1, "\0"}}, 1, 100};
    QCOMPARE(sequences
                 .change([&](const core::UserDefaults::List &) {
                   return std::optional(
                       QList<QByteArray>{core::SequenceEntry(blink).text()});
                 })
                 .result,
             core::UserDefaults::Outcome::Stored);
    const QByteArray file = ReadAll(path);
    QVERIFY(file.startsWith("{\"default macros\": " + macros + ","));
    core::UserDefaults macroList(path, core::kDefaultMacrosKey);
    QCOMPARE(core::ReadMacros(macroList.list()).entries.size(), 2);
    core::UserDefaults again(path, core::kSequencesKey);
    const QList<core::SequenceEntry> stored = core::ReadSequences(again.list());
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored[0].sequence(), blink);
  }

  // Each step after its delay from the one before, rounds back to back;
  // the tolerance is the bench's worst lateness many times over, for
  // loaded machines and sanitizers.
  void stepsGoOutOnTheirSchedule() {
    QElapsedTimer clock;
    QList<Sent> sent;
    core::SequenceRunner runner([&](const core::SequenceStep &step,
                                    const core::SequenceRunner::Done &done) {
      sent.append({clock.elapsed(), step.data});
      done(std::nullopt);
    });
    QSignalSpy finished(&runner, &core::SequenceRunner::finished);
    clock.start();
    runner.start({"s",
                  {{0, 0, "a"}, {40, 0, "b"}, {0, 0, "c"}, {20, 0, "d"}},
                  2,
                  std::nullopt});
    QTRY_COMPARE(finished.size(), 1);
    const QList<qint64> due = {0, 40, 40, 60, 60, 100, 100, 120};
    QCOMPARE(sent.size(), due.size());
    for (qsizetype at = 0; at < due.size(); ++at) {
      QCOMPARE(sent[at].data, QByteArray(1, "abcd"[at % 4]));
      QVERIFY2(sent[at].atMS >= due[at] - 1 && sent[at].atMS <= due[at] + 15,
               qPrintable(QString::number(sent[at].atMS)));
    }
    QCOMPARE(finished[0][0].value<core::SequenceRunner::Outcome>().result,
             core::SequenceRunner::Outcome::Done);
  }

  // A step goes out once the one before it was answered, however late.
  // Stop names the step after the one in flight, and an answer to a run
  // already stopped is ignored, even once another run has started.
  void stepsAwaitTheirAnswers() {
    QList<QByteArray> sent;
    core::SequenceRunner::Done pending;
    core::SequenceRunner runner(
        [&](const core::SequenceStep &step, core::SequenceRunner::Done done) {
          sent.append(step.data);
          pending = std::move(done);
        });
    std::optional<core::SequenceRunner::Outcome> outcome;
    connect(&runner, &core::SequenceRunner::finished,
            [&](const core::SequenceRunner::Outcome &o) { outcome = o; });
    const core::Sequence abc{
        "abc", {{0, 0, "a"}, {0, 0, "b"}, {0, 0, "c"}}, 1, {}};
    runner.start(abc);
    QTest::qWait(20);
    QCOMPARE(sent, QList<QByteArray>({"a"}));
    std::exchange(pending, {})(std::nullopt);
    QCOMPARE(sent, QList<QByteArray>({"a", "b"}));

    const core::SequenceRunner::Done late = std::exchange(pending, {});
    runner.stop();
    QCOMPARE(outcome->result, core::SequenceRunner::Outcome::Stopped);
    QCOMPARE(outcome->step, 2);
    runner.start(abc);
    late(std::nullopt);
    QTest::qWait(20);
    QCOMPARE(sent, QList<QByteArray>({"a", "b", "a"}));
    std::exchange(pending, {})(std::nullopt);
    std::exchange(pending, {})(std::nullopt);
    std::exchange(pending, {})(std::nullopt);
    QCOMPARE(outcome->result, core::SequenceRunner::Outcome::Done);
    QCOMPARE(sent.size(), 5);
  }

  // A replay keeps the recorded gaps divided by the speed, each rounded
  // from the first report's time so that rounding never adds up; a gap
  // longer than the longest delay is cut to it. A fixed interval, or none,
  // replaces them. The reports keep their order and bytes.
  void replaysKeepTheRecordedGaps() {
    QList<core::WrittenReport> reports;
    for (int i = 0; i < 1000; ++i)
      reports.append({int64_t(i) * 1400, 5, QByteArray(1, char(i))});
    reports.append({reports.last().timeUS + 8'000'000'000, 5, "late"});
    reports.append({reports.last().timeUS + 3000, 5, "after"});

    const core::Sequence recorded = core::ReplaySequence(
        "r", reports, {core::ReplayTiming::Recorded, 2, 0});
    QCOMPARE(recorded.steps.size(), reports.size());
    QCOMPARE(recorded.repeat, 1);
    QVERIFY(!recorded.everyMS);
    int64_t firstThousandMS = 0;
    for (int i = 0; i < 1000; ++i) {
      QCOMPARE(recorded.steps[i].data, reports[i].data);
      firstThousandMS += recorded.steps[i].delayMS;
    }
    QCOMPARE(firstThousandMS, 699); // 999 gaps of 0.7 ms
    QCOMPARE(recorded.steps[1000].delayMS, core::SequenceStep::kMaxDelayMS);
    QCOMPARE(recorded.steps[1001].delayMS, 2);
    QCOMPARE(recorded.steps[1001].data, QByteArray("after"));

    const core::Sequence fixed = core::ReplaySequence(
        "f", reports.mid(0, 3), {core::ReplayTiming::Interval, 1, 30});
    QCOMPARE(fixed.steps[0].delayMS, 0);
    QCOMPARE(fixed.steps[2].delayMS, 30);
    const core::Sequence fast =
        core::ReplaySequence("a", reports, {core::ReplayTiming::AsFast, 1, 0});
    QVERIFY(std::all_of(
        fast.steps.begin(), fast.steps.end(),
        [](const core::SequenceStep &step) { return !step.delayMS; }));
  }

  // Pause holds a run, and Resume moves its schedule on by the pause: a
  // step due 30 ms after the one before goes out 30 ms after the resume.
  void pauseHoldsTheSchedule() {
    QElapsedTimer clock;
    QList<qint64> sentMS;
    core::SequenceRunner runner([&](const core::SequenceStep &,
                                    const core::SequenceRunner::Done &done) {
      sentMS.append(clock.elapsed());
      done(std::nullopt);
    });
    clock.start();
    runner.start({"p", {{0, 0, "a"}, {30, 0, "b"}, {30, 0, "c"}}, 1, {}});
    QCOMPARE(sentMS.size(), 1);
    runner.pause();
    QVERIFY(runner.isPaused());
    QTest::qWait(80);
    QCOMPARE(sentMS.size(), 1);
    const qint64 resumedMS = clock.elapsed();
    runner.resume();
    QTRY_COMPARE(sentMS.size(), 3);
    QVERIFY2(sentMS[1] >= resumedMS + 25 && sentMS[1] <= resumedMS + 100,
             qPrintable(QString::number(sentMS[1] - resumedMS)));
    QVERIFY2(sentMS[2] - sentMS[1] >= 25,
             qPrintable(QString::number(sentMS[2] - sentMS[1])));
    QVERIFY(!runner.isRunning() && !runner.isPaused());
  }

  // A failed step ends the run there; Stop ends a periodic one at once,
  // and nothing is sent after either.
  void failureAndStopEndTheRun() {
    int sends = 0;
    core::SequenceRunner runner([&](const core::SequenceStep &step,
                                    const core::SequenceRunner::Done &done) {
      ++sends;
      done(step.data == "x" ? std::optional<QString>("refused") : std::nullopt);
    });
    std::optional<core::SequenceRunner::Outcome> outcome;
    connect(&runner, &core::SequenceRunner::finished,
            [&](const core::SequenceRunner::Outcome &o) { outcome = o; });
    runner.start({"f", {{0, 0, "a"}, {5, 0, "x"}, {0, 0, "b"}}, 3, {}});
    QTRY_VERIFY(outcome);
    QCOMPARE(outcome->result, core::SequenceRunner::Outcome::Failed);
    QCOMPARE(outcome->step, 1);
    QCOMPARE(outcome->error, "refused");
    QCOMPARE(sends, 2);

    outcome.reset();
    sends = 0;
    runner.start({"p", {{0, 0, "a"}}, 1, 10});
    QTRY_VERIFY(sends >= 3);
    runner.stop();
    QCOMPARE(outcome->result, core::SequenceRunner::Outcome::Stopped);
    const int stoppedAt = sends;
    QTest::qWait(50);
    QCOMPARE(sends, stoppedAt);
    QVERIFY(!runner.isRunning());
  }
};

QTEST_GUILESS_MAIN(SequenceTest)
#include "tst_sequence.moc"
