#include "cli/CommandLine.h"

#include "core/reports/DisplayReports.h"
#include "core/text/ByteList.h"

#include <QRegularExpression>

#include <map>
#include <set>

namespace cli {

namespace {

using Options = std::map<QString, QString>;
using Outcome = std::variant<Invocation, UsageError>;

const std::set<QString> kValueOptions = {"count",  "interval", "timeout",
                                         "output", "to",       "format",
                                         "device", "speed"};
const std::set<QString> kFlagOptions = {"sim",     "json", "help", "version",
                                        "changes", "read", "force"};

std::optional<int> WholeNumber(const QString &text, int least, int most) {
  static const QRegularExpression kDigits(QStringLiteral("^[0-9]{1,9}\\z"));
  if (!kDigits.match(text).hasMatch())
    return std::nullopt;
  const int value = text.toInt();
  if (value < least || value > most)
    return std::nullopt;
  return value;
}

// Seconds with up to three decimals, more than 0 and at most a day.
std::optional<int> Milliseconds(const QString &text) {
  static const QRegularExpression kSeconds(
      QStringLiteral(R"(^([0-9]{1,5})(?:\.([0-9]{1,3}))?\z)"));
  const QRegularExpressionMatch match = kSeconds.match(text);
  if (!match.hasMatch())
    return std::nullopt;
  const int ms = match.captured(1).toInt() * 1000 +
                 match.captured(2).leftJustified(3, u'0').toInt();
  if (ms < 1 || ms > 86400 * 1000)
    return std::nullopt;
  return ms;
}

UsageError Error(const QString &message) {
  return UsageError{message};
}

// --to INTERFACE, of macro run and replay.
std::optional<UsageError> WithTarget(Invocation &invocation,
                                     const Options &options) {
  const std::optional<InterfaceName> target =
      ParseInterfaceName(options.at("to"));
  if (!target)
    return Error(QStringLiteral("--to '%1' names no interface: give a list "
                                "position or a name such as B:2000:1")
                     .arg(options.at("to")));
  invocation.target = *target;
  return std::nullopt;
}

// replay FILE --to INTERFACE [--speed X | --interval MS], or under --sim
// replay FILE [--speed X].
Outcome ReplayArguments(Invocation invocation, const QStringList &arguments,
                        const Options &options) {
  const QString &file = arguments.first();
  invocation.file = file;
  if (file.isEmpty())
    return Error(QStringLiteral("replay needs a capture FILE"));
  // Under --sim, without --to, the capture plays into the simulated device.
  invocation.intoSimulator = invocation.simulated && !options.count("to");
  if (invocation.intoSimulator && options.count("interval"))
    return Error(QStringLiteral("replay into the simulated devices takes "
                                "--speed, not --interval"));
  if (!invocation.intoSimulator && !options.count("to"))
    return Error(QStringLiteral("replay needs --to INTERFACE"));
  if (!invocation.intoSimulator)
    if (std::optional<UsageError> error = WithTarget(invocation, options))
      return *error;
  if (options.count("speed") && options.count("interval"))
    return Error(
        QStringLiteral("replay takes --speed or --interval, not both"));
  if (options.count("speed")) {
    static const QRegularExpression kSpeed(
        QStringLiteral(R"(^[0-9]{1,2}(\.[0-9]{1,3})?\z)"));
    const double speed = options.at("speed").toDouble();
    if (!kSpeed.match(options.at("speed")).hasMatch() || speed < 0.1 ||
        speed > 10)
      return Error(QStringLiteral("--speed takes 0.1 to 10"));
    invocation.replaySpeed = speed;
  }
  if (options.count("interval")) {
    invocation.replayIntervalMS = WholeNumber(options.at("interval"), 0, 60000);
    if (!invocation.replayIntervalMS)
      return Error(QStringLiteral("--interval takes milliseconds, 0 to 60000"));
  }
  return invocation;
}

// --count and --timeout, of the commands that take them.
Outcome WithCountAndTimeout(Invocation invocation, const Options &options) {
  if (options.count("count")) {
    invocation.count = WholeNumber(options.at("count"), 1, 1000000000);
    if (!invocation.count)
      return Error(QStringLiteral("--count takes a number from 1"));
  }
  if (options.count("timeout")) {
    invocation.timeoutMS = Milliseconds(options.at("timeout"));
    if (!invocation.timeoutMS)
      return Error(QStringLiteral("--timeout takes seconds, such as 5 or "
                                  "0.5, at most 86400"));
  }
  return invocation;
}

// macro list, or macro run NAME [--to INTERFACE]; the name is the rest of
// the arguments, joined with blanks.
Outcome MacroArguments(Invocation invocation, const QStringList &arguments,
                       const Options &options) {
  const QString &action = arguments.first();
  if (action == QLatin1String("list") && arguments.size() == 1 &&
      !options.count("to"))
    return invocation;
  if (action != QLatin1String("run") || arguments.size() < 2)
    return Error(QStringLiteral("macro takes list, or run NAME [--to "
                                "INTERFACE]"));
  invocation.command = Command::MacroRun;
  invocation.text = arguments.mid(1).join(u' ');
  if (options.count("to"))
    if (std::optional<UsageError> error = WithTarget(invocation, options))
      return *error;
  return invocation;
}

Outcome DumpArguments(Invocation invocation, const QStringList &arguments,
                      const Options &) {
  invocation.file = arguments.first();
  return invocation;
}

Outcome ConvertArguments(Invocation invocation, const QStringList &arguments,
                         const Options &options) {
  invocation.file = arguments[0];
  invocation.outputFile = arguments[1];
  if (options.count("format")) {
    invocation.format = interop::FormatNamed(options.at("format"));
    if (!invocation.format)
      return Error(QStringLiteral("--format takes pwcap, %1")
                       .arg(interop::ExportFormatNames()));
  }
  if (options.count("device")) {
    const QStringList parts = options.at("device").split(u':');
    const std::optional<int> bus =
        parts.size() == 2 ? WholeNumber(parts[0], 1, 65535) : std::nullopt;
    const std::optional<int> address =
        parts.size() == 2 ? WholeNumber(parts[1], 1, 127) : std::nullopt;
    if (!bus || !address)
      return Error(QStringLiteral("--device takes a USB bus and device "
                                  "address, such as 1:3"));
    invocation.usbDevice = {*bus, *address};
  }
  return invocation;
}

Outcome RecordArguments(Invocation invocation, const QStringList &arguments,
                        const Options &options) {
  for (const QString &argument : arguments) {
    const std::optional<InterfaceName> name = ParseInterfaceName(argument);
    if (!name)
      return Error(QStringLiteral("'%1' names no interface: give a list "
                                  "position or a name such as B:2000:1")
                       .arg(argument));
    invocation.targets.append(*name);
  }
  if (!options.count("output") || options.at("output").isEmpty())
    return Error(QStringLiteral("record needs -o FILE"));
  invocation.file = options.at("output");
  invocation.replaceFile = options.count("force");
  return WithCountAndTimeout(invocation, options);
}

// The interface, or with device the device, that a command's first argument
// names.
std::optional<UsageError> WithNamedTarget(Invocation &invocation,
                                          const QString &name, bool device) {
  const std::optional<InterfaceName> target = ParseInterfaceName(name, device);
  if (!target)
    return Error(QStringLiteral("'%1' names no %2: give a list position "
                                "or a name such as B:2000:1")
                     .arg(name, device ? QStringLiteral("device")
                                       : QStringLiteral("interface")));
  invocation.target = *target;
  return std::nullopt;
}

Outcome InfoArguments(Invocation invocation, const QStringList &arguments,
                      const Options &) {
  if (std::optional<UsageError> error =
          WithNamedTarget(invocation, arguments.first(), false))
    return *error;
  return invocation;
}

Outcome ListenArguments(Invocation invocation, const QStringList &arguments,
                        const Options &options) {
  if (std::optional<UsageError> error =
          WithNamedTarget(invocation, arguments.first(), false))
    return *error;
  return WithCountAndTimeout(invocation, options);
}

Outcome ReadArguments(Invocation invocation, const QStringList &arguments,
                      const Options &options) {
  if (std::optional<UsageError> error =
          WithNamedTarget(invocation, arguments.first(), false))
    return *error;
  if (options.count("interval")) {
    const std::optional<int> ms = WholeNumber(options.at("interval"), 1, 60000);
    if (!ms)
      return Error(QStringLiteral("--interval takes milliseconds, 1 to 60000"));
    invocation.intervalMS = *ms;
  }
  invocation.changesOnly = options.count("changes");
  return WithCountAndTimeout(invocation, options);
}

// write INTERFACE BYTES..., the bytes being the rest of the arguments.
Outcome WriteArguments(Invocation invocation, const QStringList &arguments,
                       const Options &) {
  if (std::optional<UsageError> error =
          WithNamedTarget(invocation, arguments.first(), false))
    return *error;
  const QString rest = arguments.mid(1).join(u' ');
  QString reason;
  const std::optional<QByteArray> bytes = core::ParseByteList(rest, &reason);
  if (!bytes && !rest.contains(u'"') && !rest.contains(u'\''))
    reason += QStringLiteral("; a text is written in quotes that reach "
                             "pinworth, such as \"'Hello'\"");
  if (!bytes)
    return Error(QStringLiteral("bad bytes '%1': %2").arg(rest, reason));
  invocation.bytes = *bytes;
  return invocation;
}

// lcd DEVICE TEXT..., or lcd DEVICE --read.
Outcome LcdArguments(Invocation invocation, const QStringList &arguments,
                     const Options &options) {
  if (std::optional<UsageError> error =
          WithNamedTarget(invocation, arguments.first(), true))
    return *error;
  const QString rest = arguments.mid(1).join(u' ');
  invocation.lcdRead = options.count("read");
  if (invocation.lcdRead == !rest.isEmpty())
    return Error(QStringLiteral("lcd takes either a text or --read"));
  if (!core::DisplayLineCodes(rest))
    return Error(QStringLiteral("the display takes 1 to %1 printable ASCII "
                                "characters")
                     .arg(core::kDisplayColumns));
  invocation.text = rest;
  return invocation;
}

struct CommandRule {
  Command command;
  int minArguments; // positionals after the command's name
  int maxArguments; // -1: any number, joined with blanks
  std::set<QString> options;
  // What the command makes of its arguments, when it is given any.
  Outcome (*arguments)(Invocation, const QStringList &,
                       const Options &) = nullptr;
};

const std::map<QString, CommandRule> &Commands() {
  static const std::map<QString, CommandRule> kCommands = {
      {"help", {Command::Help, 0, 0, {}}},
      {"version", {Command::Version, 0, 0, {}}},
      {"session", {Command::Session, 0, 0, {"json"}}},
      {"list", {Command::List, 0, 0, {"json"}}},
      {"write", {Command::Write, 2, -1, {"json"}, WriteArguments}},
      {"read",
       {Command::Read,
        1,
        1,
        {"json", "count", "interval", "timeout", "changes"},
        ReadArguments}},
      {"listen",
       {Command::Listen, 1, 1, {"json", "count", "timeout"}, ListenArguments}},
      {"info", {Command::Info, 1, 1, {"json"}, InfoArguments}},
      {"lcd", {Command::Lcd, 1, -1, {"json", "read"}, LcdArguments}},
      {"record",
       {Command::Record,
        1,
        -1,
        {"output", "count", "timeout", "force"},
        RecordArguments}},
      {"dump", {Command::Dump, 1, 1, {"json"}, DumpArguments}},
      {"convert",
       {Command::Convert, 2, 2, {"format", "device"}, ConvertArguments}},
      {"replay",
       {Command::Replay,
        1,
        1,
        {"json", "to", "speed", "interval"},
        ReplayArguments}},
      {"macro", {Command::MacroList, 1, -1, {"json", "to"}, MacroArguments}},
  };
  return kCommands;
}

Outcome Interpret(const QStringList &positionals, const Options &options) {
  Invocation invocation;
  invocation.simulated = options.count("sim");
  invocation.json = options.count("json");
  if (options.count("help"))
    return invocation;
  if (options.count("version")) {
    invocation.command = Command::Version;
    return invocation;
  }
  if (positionals.isEmpty())
    return Error(QStringLiteral("no command given"));
  const auto found = Commands().find(positionals.first());
  if (found == Commands().end())
    return Error(
        QStringLiteral("unknown command '%1'").arg(positionals.first()));
  const CommandRule &rule = found->second;
  const QString &name = found->first;
  invocation.command = rule.command;
  for (const auto &[option, value] : options)
    if (option != QLatin1String("sim") && !rule.options.count(option))
      return Error(QStringLiteral("%1 takes no option --%2").arg(name, option));

  const QStringList arguments = positionals.mid(1);
  if (arguments.size() < rule.minArguments ||
      (rule.maxArguments >= 0 && arguments.size() > rule.maxArguments))
    return Error(QStringLiteral("wrong number of arguments for %1").arg(name));
  if (arguments.isEmpty())
    return invocation;
  return rule.arguments(invocation, arguments, options);
}

} // namespace

std::optional<InterfaceName> ParseInterfaceName(const QString &text,
                                                bool withoutInterface) {
  if (const std::optional<int> position = WholeNumber(text, 0, 65535))
    return InterfaceName{position, std::nullopt};
  static const QRegularExpression kDevice(
      QStringLiteral(R"(^([AB]:-?\d{1,5})(#\d+)?\z)"));
  const QRegularExpressionMatch device = kDevice.match(text);
  const QString key = withoutInterface && device.hasMatch()
                          ? device.captured(1) + ":1" + device.captured(2)
                          : text;
  if (const std::optional<core::InterfaceIdentity> identity =
          core::InterfaceIdentity::fromKey(key))
    return InterfaceName{std::nullopt, identity};
  return std::nullopt;
}

Outcome ParseCommandLine(const QStringList &arguments) {
  QStringList positionals;
  std::map<QString, QString> options;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString &argument = arguments[i];
    if (argument == QLatin1String("--")) {
      positionals += arguments.mid(i + 1);
      break;
    }
    if (argument == QLatin1String("-o")) {
      if (i + 1 == arguments.size())
        return Error(QStringLiteral("-o needs a file"));
      options["output"] = arguments[++i];
      continue;
    }
    if (argument == QLatin1String("-h") || argument == QLatin1String("-v")) {
      options[argument == QLatin1String("-h") ? "help" : "version"];
      continue;
    }
    if (!argument.startsWith(QLatin1String("--"))) {
      positionals.append(argument);
      continue;
    }
    const qsizetype equals = argument.indexOf(u'=');
    const QString option = argument.mid(2, equals < 0 ? -1 : equals - 2);
    if (kValueOptions.count(option)) {
      if (equals >= 0)
        options[option] = argument.mid(equals + 1);
      else if (i + 1 < arguments.size())
        options[option] = arguments[++i];
      else
        return Error(QStringLiteral("--%1 needs a value").arg(option));
    } else if (kFlagOptions.count(option) && equals < 0) {
      options[option];
    } else {
      return Error(QStringLiteral("unknown option '%1'").arg(argument));
    }
  }
  return Interpret(positionals, options);
}

} // namespace cli
