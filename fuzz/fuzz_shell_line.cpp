// pinworth's session input on any bytes. Read line by line, each line holds
// no line end and at most 4096 bytes, and the lines with their line ends
// give back the input up to where a line was too long. Each line splits into
// arguments that, quoted again in single quotes, split back to themselves;
// a line that does not split has an unclosed quote and a reason.
#include "cli/ShellLine.h"
#include "fuzz/FuzzCheck.h"

#include <cstdio>

namespace {

QString Quoted(const QStringList &arguments) {
  QStringList quoted;
  for (QString argument : arguments)
    quoted << u'\'' + argument.replace(u'\'', QStringLiteral("'\\''")) + u'\'';
  return quoted.join(u' ');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
  std::FILE *file = fmemopen(const_cast<uint8_t *>(data), size, "r");
  if (size == 0 || file == nullptr) {
    if (file)
      std::fclose(file);
    return 0;
  }
  QByteArray readBack;
  QByteArray line;
  cli::LineRead read;
  while ((read = cli::ReadShellLine(file, &line)) == cli::LineRead::Line) {
    FUZZ_CHECK(line.size() <= cli::kMaxShellLineBytes && !line.contains('\n'));
    readBack += line + '\n';
    const QString text = QString::fromUtf8(line);
    QString error;
    const std::optional<QStringList> arguments =
        cli::SplitShellLine(text, &error);
    if (!arguments) {
      FUZZ_CHECK(!error.isEmpty());
      FUZZ_CHECK(text.contains(u'\'') || text.contains(u'"'));
      continue;
    }
    FUZZ_CHECK(cli::SplitShellLine(Quoted(*arguments)) == arguments);
  }
  std::fclose(file);
  if (read == cli::LineRead::TooLong)
    FUZZ_CHECK(input.startsWith(readBack) &&
               input.size() > readBack.size() + cli::kMaxShellLineBytes);
  else
    FUZZ_CHECK(readBack == input || readBack == input + '\n');
  return 0;
}
