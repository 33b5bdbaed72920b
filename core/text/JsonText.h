// JSON text read as it stands.
//
// A strict parser (RFC 8259, UTF-8) that keeps where the text of every value
// begins and ends, so that a file can be rewritten with everything its reader
// does not own left byte for byte as it was: members in their order with
// duplicate names kept, numbers as their text (never rounded through a
// double), strings decoded exactly (a leading U+FEFF included).
#ifndef PINWORTH_EXPLORER_JSON_TEXT_H
#define PINWORTH_EXPLORER_JSON_TEXT_H

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <utility>
#include <variant>

namespace core {

namespace json {

struct Value {
  enum class Kind { Object, Array, String, Number, True, False, Null };

  Kind kind = Kind::Null;
  // The value's text in the parsed input: [begin, end).
  qsizetype begin = 0;
  qsizetype end = 0;
  QString string;                           // String: the decoded text
  QByteArray number;                        // Number: the text as written
  QList<std::pair<QString, Value>> members; // Object, in order
  QList<Value> elements;                    // Array

  // Object: the value of the member named key, or null when there is none.
  // *duplicated tells whether more than one member has the name.
  const Value *member(const QString &key, bool *duplicated = nullptr) const;
};

struct ParseError {
  qsizetype offset;
  QString message;
};

// Nesting deeper than this is refused, so that no input recurses without
// bound.
inline constexpr int kMaxDepth = 128;

// One JSON value, with white space around it allowed, and a UTF-8 byte order
// mark before it.
std::variant<Value, ParseError> Parse(QByteArrayView text);

// text as a JSON string: quoted, with ", \ and control characters escaped and
// everything else as UTF-8.
QByteArray Quote(const QString &text);

} // namespace json

} // namespace core

#endif
