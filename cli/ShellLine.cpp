#include "cli/ShellLine.h"

#include <utility>

namespace cli {

LineRead ReadShellLine(std::FILE *input, QByteArray *line) {
  line->clear();
  for (int c = std::getc(input); c != EOF; c = std::getc(input)) {
    if (c == '\n')
      return LineRead::Line;
    if (line->size() == kMaxShellLineBytes)
      return LineRead::TooLong;
    line->append(char(c));
  }
  return line->isEmpty() || std::ferror(input) ? LineRead::End : LineRead::Line;
}

std::optional<QStringList> SplitShellLine(QStringView line, QString *error) {
  QStringList arguments;
  QString argument;
  bool inArgument = false; // quotes make one, even an empty one
  for (qsizetype at = 0; at < line.size(); ++at) {
    const QChar c = line[at];
    if (c.isSpace()) {
      if (inArgument)
        arguments.append(std::exchange(argument, QString()));
      inArgument = false;
      continue;
    }
    if (c == u'#' && !inArgument)
      break;
    inArgument = true;
    if (c == u'\\' && at + 1 < line.size()) {
      argument += line[++at];
    } else if (c == u'\'' || c == u'"') {
      qsizetype end = at + 1;
      for (; end < line.size() && line[end] != c; ++end)
        if (c == u'"' && line[end] == u'\\' && end + 1 < line.size() &&
            (line[end + 1] == u'"' || line[end + 1] == u'\\'))
          argument += line[++end];
        else
          argument += line[end];
      if (end == line.size()) {
        if (error)
          *error = QStringLiteral("the quote %1 is not closed").arg(c);
        return std::nullopt;
      }
      at = end;
    } else {
      argument += c;
    }
  }
  if (inArgument)
    arguments.append(argument);
  return arguments;
}

} // namespace cli
