// Sequences: the stored form (what is usable, and what the explorer writes
// reads back the same), their list beside the macro list in one preferences
// file, and the runner's schedule, failures and stop.
#include "core/MacroEntry.h"
#include "core/SequenceRunner.h"
#include "tests/support/WholeFiles.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

std::optional<Sequence> Decoded(QByteArray text) {
  text.replace('\'', '"');
  auto parsed = json::Parse(text);
  if (!std::holds_alternative<json::Value>(parsed))
    return std::nullopt;
  return SequenceEntry({text, std::get<json::Value>(parsed)}).sequence();
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
    const std::optional<Sequence> sequence = Decoded(text);
    QCOMPARE(sequence ? int(sequence->steps.size()) : -1, steps);
    if (sequence)
      QCOMPARE(Decoded(SequenceEntry(*sequence).text()), sequence);
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
    UserDefaults sequences(path, kSequencesKey);
    RegisterDefaultSequences(sequences);
    const QList<SequenceEntry> builtIn = ReadSequences(sequences.list());
    QCOMPARE(builtIn.size(), 1);
    const Sequence &showTest = *builtIn[0].sequence();
    QCOMPARE(showTest.name, "Show Test on the display");
    QCOMPARE(showTest.steps.size(), 5);
    QCOMPARE(showTest.steps[2].data, QByteArray("\x84Test\0\0", 7));

    Sequence blink{"Blink", {{0, -1, "\x01"}, {250, -1, "\0"}}, 1, 100};
    QCOMPARE(sequences
                 .change([&](const UserDefaults::List &) {
                   return std::optional(
                       QList<QByteArray>{SequenceEntry(blink).text()});
                 })
                 .result,
             UserDefaults::Outcome::Stored);
    const QByteArray file = ReadAll(path);
    QVERIFY(file.startsWith("{\"default macros\": " + macros + ","));
    UserDefaults macroList(path, kDefaultMacrosKey);
    QCOMPARE(ReadMacros(macroList.list()).entries.size(), 2);
    UserDefaults again(path, kSequencesKey);
    const QList<SequenceEntry> stored = ReadSequences(again.list());
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored[0].sequence(), blink);
  }

  // Each step after its delay from the one before, rounds back to back;
  // the tolerance is the bench's worst lateness many times over, for
  // loaded machines and sanitizers.
  void stepsGoOutOnTheirSchedule() {
    QElapsedTimer clock;
    QList<Sent> sent;
    SequenceRunner runner(
        [&](const SequenceStep &step, const SequenceRunner::Done &done) {
          sent.append({clock.elapsed(), step.data});
          done(std::nullopt);
        });
    QSignalSpy finished(&runner, &SequenceRunner::finished);
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
    QCOMPARE(finished[0][0].value<SequenceRunner::Outcome>().result,
             SequenceRunner::Outcome::Done);
  }

  // A step goes out once the one before it was answered, however late.
  // Stop names the step after the one in flight, and an answer to a run
  // already stopped is ignored, even once another run has started.
  void stepsAwaitTheirAnswers() {
    QList<QByteArray> sent;
    SequenceRunner::Done pending;
    SequenceRunner runner(
        [&](const SequenceStep &step, SequenceRunner::Done done) {
          sent.append(step.data);
          pending = std::move(done);
        });
    std::optional<SequenceRunner::Outcome> outcome;
    connect(&runner, &SequenceRunner::finished,
            [&](const SequenceRunner::Outcome &o) { outcome = o; });
    const Sequence abc{"abc", {{0, 0, "a"}, {0, 0, "b"}, {0, 0, "c"}}, 1, {}};
    runner.start(abc);
    QTest::qWait(20);
    QCOMPARE(sent, QList<QByteArray>({"a"}));
    std::exchange(pending, {})(std::nullopt);
    QCOMPARE(sent, QList<QByteArray>({"a", "b"}));

    const SequenceRunner::Done late = std::exchange(pending, {});
    runner.stop();
    QCOMPARE(outcome->result, SequenceRunner::Outcome::Stopped);
    QCOMPARE(outcome->step, 2);
    runner.start(abc);
    late(std::nullopt);
    QTest::qWait(20);
    QCOMPARE(sent, QList<QByteArray>({"a", "b", "a"}));
    std::exchange(pending, {})(std::nullopt);
    std::exchange(pending, {})(std::nullopt);
    std::exchange(pending, {})(std::nullopt);
    QCOMPARE(outcome->result, SequenceRunner::Outcome::Done);
    QCOMPARE(sent.size(), 5);
  }

  // A failed step ends the run there; Stop ends a periodic one at once,
  // and nothing is sent after either.
  void failureAndStopEndTheRun() {
    int sends = 0;
    SequenceRunner runner([&](const SequenceStep &step,
                              const SequenceRunner::Done &done) {
      ++sends;
      done(step.data == "x" ? std::optional<QString>("refused") : std::nullopt);
    });
    std::optional<SequenceRunner::Outcome> outcome;
    connect(&runner, &SequenceRunner::finished,
            [&](const SequenceRunner::Outcome &o) { outcome = o; });
    runner.start({"f", {{0, 0, "a"}, {5, 0, "x"}, {0, 0, "b"}}, 3, {}});
    QTRY_VERIFY(outcome);
    QCOMPARE(outcome->result, SequenceRunner::Outcome::Failed);
    QCOMPARE(outcome->step, 1);
    QCOMPARE(outcome->reason, "refused");
    QCOMPARE(sends, 2);

    outcome.reset();
    sends = 0;
    runner.start({"p", {{0, 0, "a"}}, 1, 10});
    QTRY_VERIFY(sends >= 3);
    runner.stop();
    QCOMPARE(outcome->result, SequenceRunner::Outcome::Stopped);
    const int stoppedAt = sends;
    QTest::qWait(50);
    QCOMPARE(sends, stoppedAt);
    QVERIFY(!runner.isRunning());
  }
};

QTEST_GUILESS_MAIN(SequenceTest)
#include "tst_sequence.moc"
