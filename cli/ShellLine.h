// The lines of a pinworth session, as standard input gives them: read one at
// a time with a bound on its length, and split into a command's arguments
// as a shell splits them, so that a line runs in a session as it does after
// "pinworth" in a script:
//   - blanks separate the arguments;
//   - 'single quotes' keep everything between them as it is;
//   - "double quotes" keep blanks, and there \" and \\ stand for " and \;
//   - outside quotes, a backslash keeps the character after it as it is;
//   - a # that begins an argument, outside quotes, starts a comment that
//     runs to the end of the line (a # within one, as in A:1000:1#2, is
//     part of it).
#ifndef PINWORTH_CLI_SHELL_LINE_H
#define PINWORTH_CLI_SHELL_LINE_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdio>
#include <optional>

namespace cli {

// The most bytes a line takes, without its line end.
inline constexpr int kMaxShellLineBytes = 4096;

enum class LineRead {
  Line,    // a line, perhaps the last one without its line end
  End,     // the input ended before another line, or a read failed
  TooLong, // more than kMaxShellLineBytes before a line end
};

// Reads the next line from input into *line, without its line end; a line
// too long is not read further.
LineRead ReadShellLine(std::FILE *input, QByteArray *line);

// The arguments of line: none for a blank line or a comment; no value, with
// the reason in *error, when a quote is not closed.
std::optional<QStringList> SplitShellLine(QStringView line,
                                          QString *error = nullptr);

} // namespace cli

#endif
