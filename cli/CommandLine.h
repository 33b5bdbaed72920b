// pinworth's command line, read in full before any device is touched:
//   pinworth [--sim] [--json] <command> [arguments and options]
// Options may stand anywhere; "--" ends them, so that what follows may begin
// with a dash.
#ifndef PINWORTH_CLI_COMMAND_LINE_H
#define PINWORTH_CLI_COMMAND_LINE_H

#include "core/interfaces/InterfaceIdentity.h"
#include "interop/InteropFormats.h"
#include "platform/PinworthProtocol.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <variant>

namespace cli {

// An interface as a user names it: by its list position ("2"), or by model,
// serial number and interface number ("B:2000:1", see InterfaceIdentity).
struct InterfaceName {
  std::optional<int> position;
  std::optional<core::InterfaceIdentity> identity;
};

// The name text gives, or none. withoutInterface also takes a device named
// without an interface number ("A:1000"), as interface 1.
std::optional<InterfaceName> ParseInterfaceName(const QString &text,
                                                bool withoutInterface = false);

enum class Command {
  Help,
  Version,
  Session,
  List,
  Write,
  Read,
  Listen,
  Info,
  Lcd,
  Record,
  Dump,
  Convert,
  Replay,
  MacroList,
  MacroRun
};

struct Invocation {
  Command command = Command::Help;
  bool simulated = false; // --sim
  bool json = false;      // --json
  InterfaceName target;   // the commands that take an interface or device;
                          // macro run: --to, or none; replay: --to
  QList<InterfaceName> targets; // record: every interface named
  QString file;             // record: -o FILE; dump, convert, replay: the input
  QString outputFile;       // convert: the output
  bool replaceFile = false; // record --force: -o FILE may exist
  std::optional<interop::Format> format;        // convert: --format, or none
  std::optional<std::pair<int, int>> usbDevice; // convert: --device BUS:ADDR
  QByteArray bytes;                             // write
  QString text; // lcd: the first line to show, empty with --read; macro
                // run: the macro's name
  bool lcdRead = false;
  std::optional<int> count;                 // read, listen: reports to print
  std::optional<int> timeoutMS;             // read, listen
  int intervalMS = pinworth::kPollPeriodMS; // read
  bool changesOnly = false;                 // read --changes
  double replaySpeed = 1;                   // replay --speed
  bool intoSimulator = false;               // replay under --sim without --to
  std::optional<int> replayIntervalMS;      // replay --interval
};

struct UsageError {
  QString message;
};

// arguments without the program's name.
std::variant<Invocation, UsageError>
ParseCommandLine(const QStringList &arguments);

} // namespace cli

#endif
