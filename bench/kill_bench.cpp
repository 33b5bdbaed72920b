// What kill -9 costs an explorer's capture, printed: a child explorer window
// logs 8,000 numbered reports a second (8 each millisecond, the last number
// printed after each 8); after 3 s it is killed, and its capture is read
// back. Printed: the rows logged, those in the file, and how long before the
// kill the oldest row missing from the file was logged (each row's time is
// when its number was read here, on one clock with the kill). Five runs.
//
//   kill_bench
#include "app/ExplorerProcess.h"
#include "app/PinworthWindowController.h"
#include "app/log/LogTableModel.h"
#include "capture/CaptureReader.h"
#include "platform/simulated/SimBackend.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kPerTick = 8;

// The child: logs report 0x0C with its number in bytes 0-3, until killed.
int RunChild(int argc, char **argv) {
  QApplication application(argc, argv);
  hid::sim::SimBackend backend;
  hid::SetBackend(&backend);
  explorer::ExplorerProcess process;
  process.newWindow();
  explorer::LogTableModel *log = process.controllers().front()->logModel();
  uint32_t next = 0;
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    for (int n = 0; n < kPerTick; ++n, ++next) {
      uint8_t data[7] = {};
      std::memcpy(data, &next, sizeof next);
      log->append(false, 0x0C, 7, data);
    }
    std::printf("%u\n", next - 1);
    std::fflush(stdout);
  });
  timer.start(1);
  return application.exec();
}

// The highest number n such that every report 0..n is in the capture.
int64_t WholeUpTo(const QString &folder) {
  const QStringList captures =
      QDir(folder).entryList({"current-*.pwcap"}, QDir::Files);
  if (captures.isEmpty())
    return -1;
  std::string reason;
  const auto reader = capture::CaptureReader::open(
      QDir(folder).filePath(captures.first()).toStdString(), &reason);
  int64_t whole = -1;
  for (uint64_t i = 0; reader && i < reader->recordCount(); ++i) {
    const capture::Record record = reader->record(i);
    if (record.kind != capture::RecordKind::Read)
      continue;
    uint32_t n = 0;
    std::memcpy(&n, record.data.data(), sizeof n);
    if (int64_t(n) != whole + 1)
      break;
    whole = n;
  }
  return whole;
}

void RunOnce() {
  QTemporaryDir state;
  QProcess child;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("PINWORTH_KILL_BENCH_CHILD", "1");
  environment.insert("XDG_STATE_HOME", state.path());
  environment.insert("XDG_CONFIG_HOME", state.path());
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  child.setProcessEnvironment(environment);
  child.start(QCoreApplication::applicationFilePath());
  child.waitForStarted();
  std::vector<std::pair<int64_t, qint64>> read; // the last number, when
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 3000 && child.waitForReadyRead(5000))
    while (child.canReadLine())
      read.emplace_back(child.readLine().trimmed().toLongLong(),
                        clock.elapsed());
  child.kill();
  const qint64 killedAt = clock.elapsed();
  child.waitForFinished();
  const int64_t whole = WholeUpTo(state.filePath("Pinworth/sessions"));
  const int64_t logged = read.empty() ? 0 : read.back().first + 1;
  // The first tick that logged a row the file misses.
  qint64 missingSince = killedAt;
  for (const auto &[last, at] : read)
    if (last > whole) {
      missingSince = at;
      break;
    }
  std::printf("%10lld %10lld %10lld %12lld\n", (long long)logged,
              (long long)(whole + 1), (long long)(logged - whole - 1),
              (long long)(killedAt - missingSince));
}

} // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsSet("PINWORTH_KILL_BENCH_CHILD"))
    return RunChild(argc, argv);
  QCoreApplication application(argc, argv);
  std::printf("kill -9 of an explorer logging 8,000 reports/s\n");
  std::printf("%10s %10s %10s %12s\n", "logged", "in file", "lost",
              "oldest ms");
  for (int run = 0; run < 5; ++run)
    RunOnce();
  return 0;
}
