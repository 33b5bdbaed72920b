#include "core/reports/DisplayReports.h"

#include <algorithm>

namespace core {

namespace {

using namespace pinworth;

// The display RAM address of the first column of line 0 and line 1.
constexpr std::array<uint8_t, kDisplayLines> kLineAddress = {0x00, 0x40};

Interface1Report Switch(uint8_t reportID, bool on) {
  return Interface1Report{reportID, uint8_t(on ? 1 : 0)};
}

// One report to the display's instruction register.
Interface1Report Instructions(std::initializer_list<uint8_t> instructions) {
  Interface1Report report{kLCDWriteReport, uint8_t(instructions.size())};
  std::copy(instructions.begin(), instructions.end(), report.begin() + 2);
  return report;
}

void AppendCharacters(std::vector<Interface1Report> &reports,
                      const QByteArray &codes) {
  for (qsizetype at = 0; at < codes.size(); at += kLCDMaxCount) {
    const qsizetype count =
        std::min<qsizetype>(qsizetype(kLCDMaxCount), codes.size() - at);
    Interface1Report report{kLCDWriteReport, uint8_t(kLCDDataRegister | count)};
    std::copy_n(codes.constData() + at, count, report.begin() + 2);
    reports.push_back(report);
  }
}

uint8_t DisplayControl(DisplayCursor cursor) {
  using namespace lcd_instruction;
  switch (cursor) {
  case DisplayCursor::Off:
    return kDisplayControl | kDisplayOn;
  case DisplayCursor::Underline:
    return kDisplayControl | kDisplayOn | kCursorOn;
  case DisplayCursor::BlinkingBlock:
    break;
  }
  return kDisplayControl | kDisplayOn | kCursorOn | kBlinkOn;
}

} // namespace

Interface1Report LcdModeReport(bool on) {
  return Switch(kLCDModeReport, on);
}

Interface1Report InfraredReport(bool on) {
  return Switch(kInfraredReport, on);
}

std::optional<QByteArray> DisplayLineCodes(QStringView text, QString *error) {
  const auto fail = [error](const QString &reason) {
    if (error)
      *error = reason;
    return std::nullopt;
  };
  if (text.size() > kDisplayColumns)
    return fail(QStringLiteral("a display line takes %1 characters; %2 given")
                    .arg(kDisplayColumns)
                    .arg(text.size()));
  for (QChar c : text)
    if (c.unicode() < 0x20 || c.unicode() > 0x7e)
      return fail(QStringLiteral("the display takes printable ASCII "
                                 "characters, and U+%1 is not one")
                      .arg(c.unicode(), 4, 16, QChar(u'0')));
  return text.toLatin1();
}

std::optional<std::vector<Interface1Report>> ShowReports(QStringView line0,
                                                         QStringView line1,
                                                         DisplayCursor cursor,
                                                         QString *error) {
  const std::array<std::optional<QByteArray>, kDisplayLines> codes = {
      DisplayLineCodes(line0, error), DisplayLineCodes(line1, error)};
  if (!codes[0] || !codes[1])
    return std::nullopt;
  using namespace lcd_instruction;
  std::vector<Interface1Report> reports = {
      LcdModeReport(true),
      Instructions({kFunctionSet | kEightBitBus | kTwoLines, kClearDisplay,
                    DisplayControl(cursor)})};
  AppendCharacters(reports, *codes[0]);
  if (!codes[1]->isEmpty()) {
    reports.push_back(
        Instructions({uint8_t(kSetDisplayAddress | kLineAddress[1])}));
    AppendCharacters(reports, *codes[1]);
  }
  return reports;
}

DisplayReadBack::DisplayReadBack(int lines, int columns) {
  lines = std::clamp(lines, 0, kDisplayLines);
  columns = std::clamp(columns, 0, kDisplayColumns);
  for (int line = 0; line < lines; ++line) {
    steps_.push_back(
        {Instructions({uint8_t(lcd_instruction::kSetDisplayAddress |
                               kLineAddress[size_t(line)])}),
         false});
    for (int done = 0; done < columns; done += int(kLCDMaxCount)) {
      const int count = std::min(columns - done, int(kLCDMaxCount));
      steps_.push_back(
          {Interface1Report{kLCDReadReport, uint8_t(kLCDDataRegister | count)},
           true});
      lineOfRequest_.push_back(line);
      countOfRequest_.push_back(count);
    }
  }
}

bool DisplayReadBack::takeAnswer(const uint8_t *report, size_t size) {
  if (complete())
    return false;
  const int count = countOfRequest_[answered_];
  if (size < 2 + size_t(count) || report[0] != kLCDReadReport ||
      report[1] != (kLCDDataRegister | count))
    return false;
  lines_[size_t(lineOfRequest_[answered_])].append(
      reinterpret_cast<const char *>(report + 2), count);
  ++answered_;
  return true;
}

bool DisplayReadBack::complete() const {
  return answered_ == countOfRequest_.size();
}

QByteArray DisplayReadBack::line(int line) const {
  return line >= 0 && line < kDisplayLines ? lines_[size_t(line)]
                                           : QByteArray();
}

QString DisplayAnswerMissing(const QString &interfaceName) {
  return QStringLiteral("%1 did not answer the display read request within "
                        "a second")
      .arg(interfaceName);
}

DisplayExchange::DisplayExchange(std::vector<Interface1Report> first,
                                 DisplayReadBack readBack)
    : first_(std::move(first)), readBack_(std::move(readBack)) {}

std::optional<Interface1Report> DisplayExchange::next() {
  if (awaiting_ || sent_ == first_.size() + readBack_.steps().size())
    return std::nullopt;
  if (sent_ < first_.size())
    return first_[sent_++];
  const DisplayReadBack::Step &step =
      readBack_.steps()[sent_++ - first_.size()];
  awaiting_ = step.awaitsAnswer;
  return step.report;
}

bool DisplayExchange::takeAnswer(const uint8_t *report, size_t size) {
  if (!awaiting_ || !readBack_.takeAnswer(report, size))
    return false;
  awaiting_ = false;
  return true;
}

bool DisplayExchange::finished() const {
  return !awaiting_ && sent_ == first_.size() + readBack_.steps().size();
}

} // namespace core
