#include "cli/StopRequests.h"

#include "cli/ExitStatus.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace cli {

namespace {

int gStopPipe[2] = {-1, -1};
volatile sig_atomic_t gStopRequested = 0;
QSocketNotifier *gStopNotifier = nullptr;

void RequestStop(int) {
  gStopRequested = 1;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(gStopPipe[1], &byte, 1);
}

} // namespace

void InstallStopRequests() {
  if (pipe2(gStopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
    return;
  gStopNotifier = new QSocketNotifier(gStopPipe[0], QSocketNotifier::Read,
                                      QCoreApplication::instance());
  QObject::connect(gStopNotifier, &QSocketNotifier::activated, [] {
    char byte;
    while (read(gStopPipe[0], &byte, 1) > 0)
      continue;
  });
  struct sigaction action = {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool StopRequested() {
  return gStopRequested;
}

int RunUntilDone(QEventLoop &loop, std::optional<int> timeoutMS,
                 int statusAtTimeout) {
  if (gStopRequested)
    return kExitInterrupted;
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout,
                   [&] { loop.exit(statusAtTimeout); });
  if (timeoutMS)
    deadline.start(*timeoutMS);
  QMetaObject::Connection stop;
  if (gStopNotifier)
    stop = QObject::connect(gStopNotifier, &QSocketNotifier::activated, &loop,
                            [&] { loop.exit(kExitInterrupted); });
  const int status = loop.exec();
  QObject::disconnect(stop);
  return status;
}

} // namespace cli
