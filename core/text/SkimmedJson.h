// A JSON file read in memory that does not grow with its strings: the inside
// of each string longer than a bound is checked as it is read (UTF-8,
// escapes, no control characters) and left on disk, its text holding ""
// there. The rest of the file's text is kept as it is, for json::Parse. Each
// string left out is a gap, which a copy of the file gets back from it.
#ifndef PINWORTH_EXPLORER_SKIMMED_JSON_H
#define PINWORTH_EXPLORER_SKIMMED_JSON_H

#include "core/text/JsonText.h"

#include <QByteArray>
#include <QIODevice>

#include <optional>
#include <variant>
#include <vector>

namespace core {

namespace json {

struct Skimmed {
  // Where a string's inside was left out: at, in text (right after the
  // string's opening quote), for size bytes from fileAt in the file.
  struct Gap {
    qsizetype at;
    qint64 fileAt;
    qint64 size;
  };

  QByteArray text;
  std::vector<Gap> gaps; // in order
  // The first fault found in a string, its offset in the file.
  std::optional<ParseError> fault;

  // The file's offset of text's offset at.
  qint64 fileOffset(qsizetype at) const;
};

// A failure to read the file: its errno.
struct ReadFailure {
  int error;
};

// Reads the file at fd from its start to its end, leaving out the inside of
// each string longer than longest bytes.
std::variant<Skimmed, ReadFailure> Skim(int fd, qsizetype longest);

// The file's JSON value as json::Parse gives it, its offsets in skimmed's
// text; the error, at its offset in the file, is the first in the file's
// order, whether found in a string left out or in the text.
std::variant<Value, ParseError> Parse(const Skimmed &skimmed);

// Writes text's bytes from begin to end to out, each gap's bytes read again
// from fd, the file skimmed; false, with errno set, when a read or write
// failed.
bool WriteWhole(const Skimmed &skimmed, qsizetype begin, qsizetype end, int fd,
                QIODevice &out);

} // namespace json

} // namespace core

#endif
