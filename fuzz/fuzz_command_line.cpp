// pinworth's command line on any arguments: the input's NUL-separated
// parts are the arguments. What parses names a command with its arguments in
// range (a target for the commands that take one, 1 to 64 bytes for write, at
// most a display line of printable ASCII for lcd, a count from 1, a timeout
// within a day, interfaces and a file for record, a file, a target and a
// speed or an interval in range for replay, and for macro run a name, maybe
// empty); what does not has a reason. Interface names parse back from
// their keys.
#include "cli/CommandLine.h"
#include "core/reports/DisplayReports.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QStringList arguments =
      QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size))
          .split(QChar(0));
  const auto parsed = cli::ParseCommandLine(arguments);
  if (const auto *error = std::get_if<cli::UsageError>(&parsed)) {
    FUZZ_CHECK(!error->message.isEmpty());
    return 0;
  }
  const cli::Invocation &invocation = std::get<cli::Invocation>(parsed);
  const bool hasTarget = invocation.target.position.has_value() ||
                         invocation.target.identity.has_value();
  switch (invocation.command) {
  case cli::Command::Help:
  case cli::Command::Version:
  case cli::Command::Session:
  case cli::Command::List:
    FUZZ_CHECK(!hasTarget);
    break;
  case cli::Command::Write:
    FUZZ_CHECK(!invocation.bytes.isEmpty() && invocation.bytes.size() <= 64);
    [[fallthrough]];
  case cli::Command::Read:
  case cli::Command::Listen:
  case cli::Command::Info:
    FUZZ_CHECK(hasTarget);
    break;
  case cli::Command::Lcd:
    FUZZ_CHECK(hasTarget);
    FUZZ_CHECK(invocation.lcdRead == invocation.text.isEmpty());
    FUZZ_CHECK(invocation.text.size() <= core::kDisplayColumns);
    for (QChar c : invocation.text)
      FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() < 0x7f);
    break;
  case cli::Command::Record:
    FUZZ_CHECK(!hasTarget && !invocation.targets.isEmpty());
    FUZZ_CHECK(!invocation.file.isEmpty());
    break;
  case cli::Command::Dump:
    FUZZ_CHECK(!hasTarget && invocation.targets.isEmpty());
    break;
  case cli::Command::Convert:
    FUZZ_CHECK(!hasTarget && invocation.targets.isEmpty());
    FUZZ_CHECK(!invocation.format ||
               interop::FormatNamed(interop::FormatName(*invocation.format)) ==
                   invocation.format);
    FUZZ_CHECK(!invocation.usbDevice || (invocation.usbDevice->first >= 1 &&
                                         invocation.usbDevice->second >= 1 &&
                                         invocation.usbDevice->second <= 127));
    break;
  case cli::Command::Replay:
    // Under --sim without --to, the capture plays into the simulated device,
    // with no interval.
    FUZZ_CHECK(!invocation.file.isEmpty());
    FUZZ_CHECK(invocation.intoSimulator ? invocation.simulated && !hasTarget &&
                                              !invocation.replayIntervalMS
                                        : hasTarget);
    FUZZ_CHECK(invocation.replaySpeed >= 0.1 && invocation.replaySpeed <= 10);
    FUZZ_CHECK(!invocation.replayIntervalMS ||
               (*invocation.replayIntervalMS >= 0 &&
                *invocation.replayIntervalMS <= 60000));
    FUZZ_CHECK(invocation.replaySpeed == 1 || !invocation.replayIntervalMS);
    break;
  case cli::Command::MacroList:
    FUZZ_CHECK(!hasTarget && invocation.text.isEmpty());
    break;
  case cli::Command::MacroRun:
    break; // any name, the empty one too: the naming panel allows it
  }
  FUZZ_CHECK(invocation.target.position.has_value() !=
                 invocation.target.identity.has_value() ||
             !hasTarget);
  if (invocation.target.identity) {
    const std::optional<cli::InterfaceName> again =
        cli::ParseInterfaceName(invocation.target.identity->key());
    FUZZ_CHECK(again && again->identity == invocation.target.identity);
  }
  FUZZ_CHECK(!invocation.count || *invocation.count >= 1);
  FUZZ_CHECK(!invocation.timeoutMS ||
             (*invocation.timeoutMS >= 1 && *invocation.timeoutMS <= 86400000));
  FUZZ_CHECK(invocation.intervalMS >= 1 && invocation.intervalMS <= 60000);
  return 0;
}
