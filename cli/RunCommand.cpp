// The commands by name, one at a time or as a session read from standard
// input.
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/Output.h"
#include "cli/StopRequests.h"
#include "cli/Usage.h"

#include <QProcess>
#include <QTextStream>

#include <cstdio>

int RunCommand(const Invocation &invocation) {
  switch (invocation.command) {
  case Command::Help:
    std::fputs(kUsageText, stdout);
    return kExitSuccess;
  case Command::Version:
    std::printf("pinworth (Pinworth Explorer) %s\n", PINWORTH_VERSION);
    return kExitSuccess;
  case Command::Session:
    return RunSession(invocation);
  case Command::List:
    return ListInterfaces(invocation);
  case Command::Record:
    return RecordCapture(invocation);
  case Command::Dump:
    return DumpCapture(invocation);
  default:
    break;
  }
  const std::optional<ListedInterface> interface =
      invocation.command == Command::Lcd
          ? FindDeviceInterface1(invocation.target)
          : FindInterface(invocation.target);
  if (!interface)
    return kExitNoSuchInterface;
  switch (invocation.command) {
  case Command::Write:
    return WriteReport(invocation, *interface);
  case Command::Read:
    return PollReports(invocation, *interface);
  case Command::Listen:
    return ListenForReports(invocation, *interface);
  case Command::Info:
    return ShowInterfaceInfo(*interface);
  case Command::Lcd:
    return DriveDisplay(invocation, *interface);
  default:
    return kExitBadArguments;
  }
}

int RunSession(const Invocation &session) {
  QTextStream input(stdin);
  QString line;
  while (!StopRequested() && input.readLineInto(&line)) {
    const QString text = line.trimmed();
    if (text.isEmpty() || text.startsWith(u'#'))
      continue;
    const auto parsed = ParseCommandLine(QProcess::splitCommand(text));
    const auto *error = std::get_if<UsageError>(&parsed);
    if (error) {
      PrintError(QStringLiteral("%1: %2").arg(text, error->message));
      return kExitBadArguments;
    }
    Invocation invocation = std::get<Invocation>(parsed);
    if (invocation.command == Command::Session || invocation.simulated) {
      PrintError(QStringLiteral("%1: a session takes neither session nor "
                                "--sim")
                     .arg(text));
      return kExitBadArguments;
    }
    invocation.json = invocation.json || session.json;
    if (const int status = RunCommand(invocation))
      return status;
  }
  return StopRequested() ? kExitInterrupted : kExitSuccess;
}
