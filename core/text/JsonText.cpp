#include "core/text/JsonText.h"

#include <QStringDecoder>

#include <algorithm>

namespace core {

namespace json {

namespace {

class Parser {
public:
  explicit Parser(QByteArrayView text) : text_(text) {}

  std::variant<Value, ParseError> parseDocument() {
    if (text_.startsWith("\xEF\xBB\xBF"))
      at_ = 3;
    Value value;
    skipSpace();
    if (!parseValue(value, 0))
      return error_;
    skipSpace();
    if (at_ != text_.size())
      return ParseError{at_, QStringLiteral("text after the value")};
    return value;
  }

private:
  bool fail(const char *message) {
    error_ = ParseError{at_, QString::fromLatin1(message)};
    return false;
  }
  bool atEnd() const { return at_ >= text_.size(); }
  char peek() const { return atEnd() ? '\0' : text_[at_]; }
  void skipSpace() {
    while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' ||
                        peek() == '\r'))
      ++at_;
  }
  bool expectWord(QByteArrayView word) {
    if (!text_.sliced(at_).startsWith(word))
      return fail("unknown word");
    at_ += word.size();
    return true;
  }

  bool parseValue(Value &value, int depth) {
    if (depth > kMaxDepth)
      return fail("nested too deeply");
    value.begin = at_;
    bool parsed = false;
    switch (peek()) {
    case '{':
      value.kind = Value::Kind::Object;
      parsed = parseObject(value, depth);
      break;
    case '[':
      value.kind = Value::Kind::Array;
      parsed = parseArray(value, depth);
      break;
    case '"':
      value.kind = Value::Kind::String;
      parsed = parseString(value.string);
      break;
    case 't':
      value.kind = Value::Kind::True;
      parsed = expectWord("true");
      break;
    case 'f':
      value.kind = Value::Kind::False;
      parsed = expectWord("false");
      break;
    case 'n':
      value.kind = Value::Kind::Null;
      parsed = expectWord("null");
      break;
    default:
      value.kind = Value::Kind::Number;
      parsed = parseNumber(value.number);
    }
    value.end = at_;
    return parsed;
  }

  bool parseObject(Value &object, int depth) {
    ++at_; // {
    skipSpace();
    if (peek() == '}') {
      ++at_;
      return true;
    }
    for (;;) {
      skipSpace();
      if (peek() != '"')
        return fail("a member name was expected");
      std::pair<QString, Value> member;
      if (!parseString(member.first))
        return false;
      skipSpace();
      if (peek() != ':')
        return fail("':' was expected");
      ++at_;
      skipSpace();
      if (!parseValue(member.second, depth + 1))
        return false;
      object.members.append(std::move(member));
      skipSpace();
      if (peek() == '}') {
        ++at_;
        return true;
      }
      if (peek() != ',')
        return fail("',' or '}' was expected");
      ++at_;
    }
  }

  bool parseArray(Value &array, int depth) {
    ++at_; // [
    skipSpace();
    if (peek() == ']') {
      ++at_;
      return true;
    }
    for (;;) {
      skipSpace();
      Value element;
      if (!parseValue(element, depth + 1))
        return false;
      array.elements.append(std::move(element));
      skipSpace();
      if (peek() == ']') {
        ++at_;
        return true;
      }
      if (peek() != ',')
        return fail("',' or ']' was expected");
      ++at_;
    }
  }

  bool parseNumber(QByteArray &number) {
    const qsizetype begin = at_;
    const auto digits = [this] {
      const qsizetype first = at_;
      while (peek() >= '0' && peek() <= '9')
        ++at_;
      return at_ - first;
    };
    if (peek() == '-')
      ++at_;
    if (peek() == '0')
      ++at_;
    else if (digits() == 0)
      return fail("a value was expected");
    if (peek() == '.') {
      ++at_;
      if (digits() == 0)
        return fail("a digit was expected");
    }
    if (peek() == 'e' || peek() == 'E') {
      ++at_;
      if (peek() == '+' || peek() == '-')
        ++at_;
      if (digits() == 0)
        return fail("a digit was expected");
    }
    number = text_.sliced(begin, at_ - begin).toByteArray();
    return true;
  }

  int hexDigits4() {
    if (at_ + 4 > text_.size())
      return -1;
    int value = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[at_ + i];
      const int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
      if (digit < 0)
        return -1;
      value = value * 16 + digit;
    }
    at_ += 4;
    return value;
  }

  // A run of unescaped characters is decoded as UTF-8 at once; invalid UTF-8
  // is an error, not a replacement character.
  bool appendRaw(QString &out, qsizetype begin) {
    if (begin == at_)
      return true;
    const QByteArrayView run = text_.sliced(begin, at_ - begin);
    if (std::all_of(run.begin(), run.end(),
                    [](char c) { return (c & 0x80) == 0; })) {
      out += QLatin1StringView(run.data(), run.size());
      return true;
    }
    // ConvertInitialBom: a U+FEFF that begins a string is text, not a mark.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless |
                               QStringDecoder::Flag::ConvertInitialBom);
    out += decoder.decode(run);
    if (decoder.hasError()) {
      at_ = begin;
      return fail("text that is not UTF-8");
    }
    return true;
  }

  bool parseString(QString &out) {
    ++at_; // "
    qsizetype run = at_;
    for (;;) {
      if (atEnd())
        return fail("an unterminated string");
      const auto c = static_cast<unsigned char>(peek());
      if (c == '"') {
        if (!appendRaw(out, run))
          return false;
        ++at_;
        return true;
      }
      if (c < 0x20)
        return fail("a control character in a string");
      if (c != '\\') {
        ++at_;
        continue;
      }
      if (!appendRaw(out, run))
        return false;
      ++at_;
      const char escape = peek();
      ++at_;
      switch (escape) {
      case '"':
      case '\\':
      case '/':
        out += QChar::fromLatin1(escape);
        break;
      case 'b':
        out += u'\b';
        break;
      case 'f':
        out += u'\f';
        break;
      case 'n':
        out += u'\n';
        break;
      case 'r':
        out += u'\r';
        break;
      case 't':
        out += u'\t';
        break;
      case 'u': {
        const int unit = hexDigits4();
        if (unit < 0)
          return fail("four hexadecimal digits were expected");
        out += QChar(char16_t(unit));
        break;
      }
      default:
        --at_;
        return fail("an unknown escape");
      }
      run = at_;
    }
  }

  QByteArrayView text_;
  qsizetype at_ = 0;
  ParseError error_{0, {}};
};

} // namespace

const Value *Value::member(const QString &key, bool *duplicated) const {
  const Value *found = nullptr;
  int count = 0;
  for (const auto &[name, value] : members)
    if (name == key && count++ == 0)
      found = &value;
  if (duplicated)
    *duplicated = count > 1;
  return found;
}

std::variant<Value, ParseError> Parse(QByteArrayView text) {
  return Parser(text).parseDocument();
}

QByteArray Quote(const QString &text) {
  QByteArray quoted = "\"";
  qsizetype run = 0; // the start of characters that go out as UTF-8
  const auto flush = [&](qsizetype upTo) {
    quoted += QStringView(text).sliced(run, upTo - run).toUtf8();
  };
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t u = text[i].unicode();
    const bool pair = QChar::isHighSurrogate(u) && i + 1 < text.size() &&
                      QChar::isLowSurrogate(text[i + 1].unicode());
    if (pair) {
      ++i;
      continue;
    }
    if (u != '"' && u != '\\' && u >= 0x20 && !QChar::isSurrogate(u))
      continue;
    flush(i);
    if (u == '"' || u == '\\')
      quoted.append('\\').append(char(u));
    else
      quoted +=
          "\\u" + QByteArray::number(unsigned(u), 16).rightJustified(4, '0');
    run = i + 1;
  }
  flush(text.size());
  return quoted + '"';
}

} // namespace json

} // namespace core
