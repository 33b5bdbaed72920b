#include "core/runs/Sequence.h"

#include "core/preferences/StoredValues.h"
#include "core/runs/DefaultMacros.h"

namespace core {

namespace {

constexpr QLatin1String kNameKey("name");
constexpr QLatin1String kStepsKey("steps");
constexpr QLatin1String kRepeatKey("repeat");
constexpr QLatin1String kEveryKey("every ms");

std::optional<int> IntIn(const json::Value &value, int low, int high) {
  if (value.kind != json::Value::Kind::Number)
    return std::nullopt;
  const std::optional<int32_t> number = Int32FromNumber(value.number);
  if (!number || *number < low || *number > high)
    return std::nullopt;
  return *number;
}

std::optional<SequenceStep> StepFrom(const json::Value &value) {
  using Kind = json::Value::Kind;
  if (value.kind != Kind::Array || value.elements.size() != 3 ||
      value.elements[2].kind != Kind::String)
    return std::nullopt;
  SequenceStep step;
  const std::optional<int> delay =
      IntIn(value.elements[0], 0, SequenceStep::kMaxDelayMS);
  const std::optional<int> reportID = value.elements[1].kind == Kind::Null
                                          ? std::optional(-1)
                                          : IntIn(value.elements[1], 0, 0xFF);
  const std::optional<QByteArray> data =
      BytesFromHexPairs(value.elements[2].string);
  if (!delay || !reportID || !data ||
      data->size() > SequenceStep::kMaxDataBytes)
    return std::nullopt;
  return SequenceStep{*delay, *reportID, *data};
}

std::optional<Sequence> SequenceFrom(const json::Value &value) {
  using Kind = json::Value::Kind;
  if (value.kind != Kind::Object)
    return std::nullopt;
  const json::Value *name = UniqueMember(value, kNameKey, Kind::String);
  const json::Value *steps = UniqueMember(value, kStepsKey, Kind::Array);
  bool twice = false;
  const json::Value *repeat = value.member(kRepeatKey, &twice);
  const json::Value *every = twice ? nullptr : value.member(kEveryKey, &twice);
  if (!name || !steps || steps->elements.isEmpty() || twice)
    return std::nullopt;
  Sequence sequence{name->string, {}, 1, std::nullopt};
  for (const json::Value &element : steps->elements) {
    const std::optional<SequenceStep> step = StepFrom(element);
    if (!step)
      return std::nullopt;
    sequence.steps.append(*step);
  }
  if (repeat) {
    const std::optional<int> rounds = IntIn(*repeat, 1, Sequence::kMaxRepeat);
    if (!rounds)
      return std::nullopt;
    sequence.repeat = *rounds;
  }
  if (every) {
    sequence.everyMS = IntIn(*every, 1, SequenceStep::kMaxDelayMS);
    if (!sequence.everyMS)
      return std::nullopt;
  }
  return sequence;
}

QByteArray StepText(const SequenceStep &step) {
  return "[" + QByteArray::number(step.delayMS) + ", " +
         (step.reportID < 0 ? QByteArray("null")
                            : QByteArray::number(step.reportID)) +
         ", \"" + step.data.toHex(' ') + "\"]";
}

} // namespace

SequenceEntry::SequenceEntry(const Sequence &sequence) : sequence_(sequence) {
  QList<QByteArray> steps;
  for (const SequenceStep &step : sequence.steps)
    steps.append(StepText(step));
  text_ = "{" + json::Quote(kNameKey) + ": " + json::Quote(sequence.name) +
          ", " + json::Quote(kStepsKey) + ": [" + steps.join(", ") + "], " +
          (sequence.everyMS ? json::Quote(kEveryKey) + ": " +
                                  QByteArray::number(*sequence.everyMS)
                            : json::Quote(kRepeatKey) + ": " +
                                  QByteArray::number(sequence.repeat)) +
          "}";
  size_ = text_.size();
}

SequenceEntry::SequenceEntry(const UserDefaults::Element &element)
    : text_(element.text), size_(element.size) {
  if (!isTooLarge())
    sequence_ = SequenceFrom(element.value);
}

QString SequenceEntry::name() const {
  return sequence_ ? sequence_->name : QStringLiteral("(not usable)");
}

QList<SequenceEntry> ReadSequences(const UserDefaults::List &list) {
  QList<SequenceEntry> sequences;
  sequences.reserve(list.elements.size());
  for (const UserDefaults::Element &element : list.elements)
    sequences.append(SequenceEntry(element));
  return sequences;
}

void RegisterDefaultSequences(UserDefaults &sequences) {
  Sequence showTest{QStringLiteral("Show Test on the display"), {}, 1, {}};
  for (int index = kEnableLCDModeMacro; index <= kReadFromLCDMacro; ++index) {
    const DefaultMacro &macro = kDefaultMacroTable[index];
    // The display takes up to 1.6 ms to clear, which initialising does.
    const int delayMS = index == kWriteToDisplayMacro ? 2 : 0;
    showTest.steps.append(
        {delayMS, macro.reportID,
         QByteArray(reinterpret_cast<const char *>(macro.data.data()),
                    kDefaultMacroDataBytes)});
  }
  sequences.registerDefaults({SequenceEntry(showTest).text()});
}

} // namespace core
