// The JSON reader on any bytes. A value's span lies within the input and
// within its parent's, after its elder sibling's, and holds the value's text;
// every string read comes back from its quoted form. An error lies within
// the input. Read skimmed from a file (strings over 8 bytes left on disk),
// the bytes give the same error, or the same values at the same offsets,
// and the text written whole is the input.
#include "core/text/JsonText.h"
#include "core/text/SkimmedJson.h"
#include "fuzz/FuzzCheck.h"

#include <QBuffer>

#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

// Checks the span of value, and the string it holds, against text.
void CheckValue(const core::json::Value &value, QByteArrayView text) {
  const QByteArrayView span = text.sliced(value.begin, value.end - value.begin);
  using Kind = core::json::Value::Kind;
  switch (value.kind) {
  case Kind::Object:
    FUZZ_CHECK(span.startsWith('{') && span.endsWith('}'));
    break;
  case Kind::Array:
    FUZZ_CHECK(span.startsWith('[') && span.endsWith(']'));
    break;
  case Kind::String: {
    FUZZ_CHECK(span.size() >= 2 && span.startsWith('"') && span.endsWith('"'));
    const auto quoted = core::json::Parse(core::json::Quote(value.string));
    FUZZ_CHECK(std::holds_alternative<core::json::Value>(quoted));
    FUZZ_CHECK(std::get<core::json::Value>(quoted).string == value.string);
    break;
  }
  case Kind::Number:
    FUZZ_CHECK(span == value.number);
    break;
  default:
    FUZZ_CHECK(span == (value.kind == Kind::True    ? "true"
                        : value.kind == Kind::False ? "false"
                                                    : "null"));
  }
}

// The value's kind and file offsets, and its children's, are those of the
// same value read whole.
void CheckSkimmed(const core::json::Value &skimmed,
                  const core::json::Skimmed &file,
                  const core::json::Value &whole) {
  FUZZ_CHECK(skimmed.kind == whole.kind);
  FUZZ_CHECK(file.fileOffset(skimmed.begin) == whole.begin);
  FUZZ_CHECK(file.fileOffset(skimmed.end) == whole.end);
  FUZZ_CHECK(skimmed.members.size() == whole.members.size() &&
             skimmed.elements.size() == whole.elements.size());
  for (qsizetype i = 0; i < whole.members.size(); ++i)
    CheckSkimmed(skimmed.members[i].second, file, whole.members[i].second);
  for (qsizetype i = 0; i < whole.elements.size(); ++i)
    CheckSkimmed(skimmed.elements[i], file, whole.elements[i]);
}

void CheckSkim(
    QByteArrayView text,
    const std::variant<core::json::Value, core::json::ParseError> &whole) {
  const int fd = memfd_create("json", 0);
  FUZZ_CHECK(fd >= 0 && write(fd, text.data(), size_t(text.size())) ==
                            ssize_t(text.size()));
  const auto read = core::json::Skim(fd, 8);
  const core::json::Skimmed &file = std::get<core::json::Skimmed>(read);
  QBuffer written;
  written.open(QIODevice::WriteOnly);
  FUZZ_CHECK(core::json::WriteWhole(file, 0, file.text.size(), fd, written));
  FUZZ_CHECK(written.data() == text);
  const auto parsed = core::json::Parse(file);
  if (const auto *error = std::get_if<core::json::ParseError>(&whole)) {
    const auto *skimmedError = std::get_if<core::json::ParseError>(&parsed);
    FUZZ_CHECK(skimmedError && skimmedError->offset == error->offset &&
               skimmedError->message == error->message);
  } else {
    FUZZ_CHECK(std::holds_alternative<core::json::Value>(parsed));
    CheckSkimmed(std::get<core::json::Value>(parsed), file,
                 std::get<core::json::Value>(whole));
  }
  close(fd);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArrayView text(data, qsizetype(size));
  const auto parsed = core::json::Parse(text);
  CheckSkim(text, parsed);
  if (const auto *error = std::get_if<core::json::ParseError>(&parsed)) {
    FUZZ_CHECK(error->offset >= 0 && error->offset <= text.size());
    FUZZ_CHECK(!error->message.isEmpty());
    return 0;
  }
  const core::json::Value &root = std::get<core::json::Value>(parsed);
  FUZZ_CHECK(0 <= root.begin && root.begin <= root.end &&
             root.end <= text.size());
  // Walked with a stack of its own: nesting is bounded, but not small.
  std::vector<const core::json::Value *> pending{&root};
  while (!pending.empty()) {
    const core::json::Value &value = *pending.back();
    pending.pop_back();
    CheckValue(value, text);
    qsizetype previousEnd = value.begin;
    const auto visit = [&](const core::json::Value &child) {
      FUZZ_CHECK(previousEnd < child.begin && child.begin <= child.end &&
                 child.end < value.end);
      previousEnd = child.end;
      pending.push_back(&child);
    };
    for (const auto &member : value.members)
      visit(member.second);
    for (const core::json::Value &element : value.elements)
      visit(element);
  }
  return 0;
}
