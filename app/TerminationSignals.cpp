#include "app/TerminationSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace explorer {

namespace {

int gSignalPipe[2] = {-1, -1};

// Only what is safe in a signal handler: the event loop reads the byte.
void OnTermination(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t written = ::write(gSignalPipe[1], &byte, 1);
}

} // namespace

void QuitOnTerminationSignals(QCoreApplication &application) {
  if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
    return;
  auto *notifier =
      new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &application);
  QObject::connect(notifier, &QSocketNotifier::activated, &application,
                   &QCoreApplication::quit);
  struct sigaction action = {};
  action.sa_handler = OnTermination;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP})
    sigaction(signal, &action, nullptr);
}

} // namespace explorer
