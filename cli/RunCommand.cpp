// The commands by name, one at a time or as a session read from standard
// input.
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/Output.h"
#include "cli/ShellLine.h"
#include "cli/StopRequests.h"
#include "cli/Usage.h"

#include <QRegularExpression>
#include <QTimer>

#include <cstdio>

namespace cli {

namespace {

// The longest sleep: a day.
constexpr int kMaxSleepMS = 86400000;

// A session's "sleep MS": waits, until Ctrl+C if it comes first.
int Sleep(const QStringList &arguments, const QString &text) {
  static const QRegularExpression kDigits(QStringLiteral("^[0-9]{1,8}\\z"));
  if (arguments.size() != 2 || !kDigits.match(arguments[1]).hasMatch() ||
      arguments[1].toInt() > kMaxSleepMS) {
    PrintError(QStringLiteral("%1: sleep takes milliseconds, 0 to %2")
                   .arg(text)
                   .arg(kMaxSleepMS));
    return kExitBadArguments;
  }
  // A coarse timer may end a wait early by a twentieth.
  QEventLoop loop;
  QTimer::singleShot(arguments[1].toInt(), Qt::PreciseTimer, &loop,
                     [&loop] { loop.exit(kExitSuccess); });
  return RunUntilDone(loop, std::nullopt, kExitSuccess);
}

} // namespace

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
  case Command::Convert:
    return ConvertCapture(invocation);
  case Command::MacroList:
    return ListMacros(invocation);
  case Command::MacroRun:
    return RunMacro(invocation);
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
  case Command::Replay:
    return ReplayWrites(invocation, *interface);
  case Command::Info:
    return ShowInterfaceInfo(invocation, *interface);
  case Command::Lcd:
    return DriveDisplay(invocation, *interface);
  default:
    return kExitBadArguments;
  }
}

int RunSession(const Invocation &session) {
  StartReportClock();
  QByteArray bytes;
  for (int number = 1; !StopRequested(); ++number) {
    const LineRead read = ReadShellLine(stdin, &bytes);
    if (read == LineRead::End || StopRequested())
      break;
    if (read == LineRead::TooLong) {
      PrintError(QStringLiteral("line %1 is longer than %2 bytes, the most a "
                                "session line takes")
                     .arg(number)
                     .arg(kMaxShellLineBytes));
      return kExitBadArguments;
    }
    const QString text = QString::fromUtf8(bytes).trimmed();
    QString reason;
    const std::optional<QStringList> arguments = SplitShellLine(text, &reason);
    if (!arguments) {
      PrintError(QStringLiteral("%1: %2").arg(text, reason));
      return kExitBadArguments;
    }
    if (arguments->isEmpty())
      continue;
    if (arguments->first() == QLatin1String("sleep")) {
      if (const int status = Sleep(*arguments, text))
        return status;
      continue;
    }
    const auto parsed = ParseCommandLine(*arguments);
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

} // namespace cli
