// The reports that drive a Pinworth device's display and infrared receiver
// through its interface 1, for pinworth's lcd command and the explorer's
// display panel alike: what to send to show two lines of text with a cursor
// mode, how to ask the display what it holds and put its answers together,
// and in what order an exchange sends its reports and awaits the answers.
// Plain values; nothing here touches a device: the callers send and listen.
#ifndef PINWORTH_EXPLORER_DISPLAY_REPORTS_H
#define PINWORTH_EXPLORER_DISPLAY_REPORTS_H

#include "platform/PinworthProtocol.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>
#include <vector>

namespace core {

// A whole report for an interface 1: the report ID, then 7 data bytes.
using Interface1Report = std::array<uint8_t, pinworth::kInterface1ReportSize>;

inline constexpr int kDisplayLines = 2;
inline constexpr int kDisplayColumns = 16;

enum class DisplayCursor { Off, Underline, BlinkingBlock };

// Switches LCD mode on or off: the device passes nothing to its display, and
// answers no read request, while it is off.
Interface1Report LcdModeReport(bool on);
// Switches infrared reception on or off.
Interface1Report InfraredReport(bool on);

// The character codes text puts on one display line: at most 16 printable
// ASCII characters; none, with the reason in *error, for anything else.
std::optional<QByteArray> DisplayLineCodes(QStringView text,
                                           QString *error = nullptr);

// The reports that show line 0 and line 1 (each as DisplayLineCodes takes
// it) with the cursor mode: LCD mode on; function set (8-bit bus, two
// lines), clear display and display on with the cursor mode, in one report;
// then each line's characters from its first column, in reports of up to 6.
// An empty line is left as the clear left it, all blanks; the cursor stays
// after the last character written. None, with the reason, for a line the
// display cannot take.
std::optional<std::vector<Interface1Report>>
ShowReports(QStringView line0, QStringView line1, DisplayCursor cursor,
            QString *error = nullptr);

// Reading back the first columns characters of the first lines lines:
// for each line, a report that sets the display address to its first
// column, then read requests of up to 6 characters, each answered by one
// input report. The steps go out in order once LCD mode is on (ShowReports,
// or LcdModeReport(true)), each read request after the previous answer.
class DisplayReadBack {
public:
  explicit DisplayReadBack(int lines = kDisplayLines,
                           int columns = kDisplayColumns);

  struct Step {
    Interface1Report report;
    bool awaitsAnswer; // a read request
  };
  const std::vector<Step> &steps() const { return steps_; }

  // An input report of the interface, led by its report ID: when it answers
  // the next read request (its report ID, the data register and the count
  // asked for), takes its characters and returns true; otherwise takes
  // nothing.
  bool takeAnswer(const uint8_t *report, size_t size);
  // Whether every read request has its answer.
  bool complete() const;
  // The character codes of line 0 or 1 read so far.
  QByteArray line(int line) const;

private:
  std::vector<Step> steps_;
  std::vector<int> lineOfRequest_; // per read request, in order
  std::vector<int> countOfRequest_;
  size_t answered_ = 0;
  std::array<QByteArray, kDisplayLines> lines_;
};

// How long a display may take to answer a read request.
inline constexpr int kDisplayAnswerTimeoutMS = 1000;
// "<interface> did not answer the display read request within a second".
QString DisplayAnswerMissing(const QString &interfaceName);

// One exchange with a display: the reports that go first (ShowReports, or
// LcdModeReport(true)), then the steps of a read-back, each read request
// once the one before has its answer. The caller sends each report next()
// hands it, gives takeAnswer() every input report of the interface while
// awaitsAnswer(), and gives up when an answer takes longer than
// kDisplayAnswerTimeoutMS or a report does not go out; it is done when
// finished().
class DisplayExchange {
public:
  DisplayExchange(std::vector<Interface1Report> first,
                  DisplayReadBack readBack);

  // The report to send next, counted as sent (a read request then awaits
  // its answer); none while an answer is awaited, or when all went out.
  std::optional<Interface1Report> next();
  // An input report: when it is the awaited answer, takes it and returns
  // true; the next reports are then due.
  bool takeAnswer(const uint8_t *report, size_t size);
  bool awaitsAnswer() const { return awaiting_; }
  // Every report sent and every answer taken.
  bool finished() const;
  const DisplayReadBack &readBack() const { return readBack_; }

private:
  std::vector<Interface1Report> first_;
  DisplayReadBack readBack_;
  size_t sent_ = 0; // of first_, then of the read-back's steps
  bool awaiting_ = false;
};

} // namespace core

#endif
