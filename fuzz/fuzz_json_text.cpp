// The JSON reader on any bytes. A value's span lies within the input and
// within its parent's, after its elder sibling's, and holds the value's text;
// every string read comes back from its quoted form. An error lies within
// the input.
#include "core/JsonText.h"
#include "fuzz/FuzzCheck.h"

#include <vector>

namespace {

// Checks the span of value, and the string it holds, against text.
void CheckValue(const json::Value &value, QByteArrayView text) {
  const QByteArrayView span = text.sliced(value.begin, value.end - value.begin);
  using Kind = json::Value::Kind;
  switch (value.kind) {
  case Kind::Object:
    FUZZ_CHECK(span.startsWith('{') && span.endsWith('}'));
    break;
  case Kind::Array:
    FUZZ_CHECK(span.startsWith('[') && span.endsWith(']'));
    break;
  case Kind::String: {
    FUZZ_CHECK(span.size() >= 2 && span.startsWith('"') && span.endsWith('"'));
    const auto quoted = json::Parse(json::Quote(value.string));
    FUZZ_CHECK(std::holds_alternative<json::Value>(quoted));
    FUZZ_CHECK(std::get<json::Value>(quoted).string == value.string);
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArrayView text(data, qsizetype(size));
  const auto parsed = json::Parse(text);
  if (const auto *error = std::get_if<json::ParseError>(&parsed)) {
    FUZZ_CHECK(error->offset >= 0 && error->offset <= text.size());
    FUZZ_CHECK(!error->message.isEmpty());
    return 0;
  }
  const json::Value &root = std::get<json::Value>(parsed);
  FUZZ_CHECK(0 <= root.begin && root.begin <= root.end &&
             root.end <= text.size());
  // Walked with a stack of its own: nesting is bounded, but not small.
  std::vector<const json::Value *> pending{&root};
  while (!pending.empty()) {
    const json::Value &value = *pending.back();
    pending.pop_back();
    CheckValue(value, text);
    qsizetype previousEnd = value.begin;
    const auto visit = [&](const json::Value &child) {
      FUZZ_CHECK(previousEnd < child.begin && child.begin <= child.end &&
                 child.end < value.end);
      previousEnd = child.end;
      pending.push_back(&child);
    };
    for (const auto &member : value.members)
      visit(member.second);
    for (const json::Value &element : value.elements)
      visit(element);
  }
  return 0;
}
