// The capture file's layout (docs/capture-format.md): the header, the
// interface table's entries and the fixed-size records, encoded and decoded
// here and nowhere else. Plain C++; the writer and the reader build on it.
#ifndef PINWORTH_CAPTURE_CAPTURE_FORMAT_H
#define PINWORTH_CAPTURE_CAPTURE_FORMAT_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace capture {

inline constexpr uint16_t kMajorVersion = 1;
inline constexpr uint16_t kMinorVersion = 1;
inline constexpr uint32_t kHeaderSize = 64;
inline constexpr uint32_t kDefaultTableSize = 65536;
inline constexpr uint32_t kRecordSize = 24;
inline constexpr int kMaxDataSize = 7;
inline constexpr uint16_t kNoSource = 0xFFFF;
// An event's text: at most this many bytes, in up to kMaxTextRecords
// records of kTextBytesPerRecord.
inline constexpr int kMaxEventText = 63;
inline constexpr int kTextBytesPerRecord = 21;
inline constexpr int kMaxTextRecords = 3;
// An index record goes before the first row that starts at or after each
// multiple of kIndexInterval records, at most kMaxTextRecords later.
inline constexpr uint64_t kIndexInterval = 65536;

// The kinds on disk are 1 to 7; the others are the reader's own.
enum class RecordKind : uint16_t {
  Read = 1,
  Written = 2,
  Loss = 3,
  Event = 4,
  EventText = 5,
  WritingStopped = 6,
  Index = 7,
  Unknown = 0x100, // a kind this reader does not know (rawKind has it)
  Corrupt = 0x101, // a record whose check does not match
};

enum class EventKind : uint8_t {
  Unplugged = 1,
  PluggedIn = 2,
  ListeningStarted = 3,
  ListeningStopped = 4,
  PollingStarted = 5,
  PollingStopped = 6,
};

// "unplugged", "plugged in", ...; "event N" for a kind a newer writer added.
std::string EventKindText(uint8_t kind);

// An interface as the capture names it: its type (the model and interface
// number, 0 to 3), serial number and occurrence, and its report descriptor.
struct CaptureInterface {
  int interfaceType = 0;
  int32_t serialNumber = 0;
  int32_t occurrence = 0;
  std::vector<uint8_t> descriptor;

  friend bool operator==(const CaptureInterface &,
                         const CaptureInterface &) = default;
};

// One record decoded. Which fields hold depends on the kind.
struct Record {
  RecordKind kind = RecordKind::Corrupt;
  uint8_t rawKind = 0; // the kind byte as written, for kinds not known
  uint16_t source = kNoSource;
  int64_t timeUS = 0; // microseconds since the capture began
  bool hasReportID = false;
  uint8_t reportID = 0;
  uint8_t size = 0; // data bytes, or bytes of text
  std::array<uint8_t, kTextBytesPerRecord> data{}; // data or text bytes
  uint32_t count = 0; // Loss: reports lost; WritingStopped: errno
  uint8_t eventKind = 0;
  uint8_t textRecords = 0; // Event: the EventText records after it
  uint64_t rowsBefore = 0; // Index: the rows before it
};

// Whether a record is a row, as an index record counts them: every kind but
// an event's text and an index record, and a corrupt record, which most
// likely was one.
bool CountsAsRow(const Record &record);
// Where row i is in a file whose every row is one record (as a log's capture
// writes them), past the index records before it; and how many rows the
// first `records` records of such a file hold.
uint64_t RecordOfSingleRecordRow(uint64_t i);
uint64_t RowsInSingleRecordRows(uint64_t records);

using RecordBytes = std::array<uint8_t, kRecordSize>;

RecordBytes EncodeReport(bool written, uint16_t source, int64_t timeUS,
                         std::optional<uint8_t> reportID, const uint8_t *data,
                         int size);
RecordBytes EncodeLoss(uint16_t source, int64_t timeUS, uint32_t count);
RecordBytes EncodeWritingStopped(int64_t timeUS, int error);
RecordBytes EncodeIndex(uint64_t rowsBefore);
// An event and the records of its text (cut to kMaxEventText bytes, never
// inside a UTF-8 sequence).
std::vector<RecordBytes> EncodeEvent(uint16_t source, int64_t timeUS,
                                     EventKind kind, const std::string &text);
// Whether the record's check matches.
bool RecordChecks(const uint8_t *bytes);
// Whether the record is a report, read or written.
bool IsReport(const uint8_t *bytes);
// The first kRecordSize bytes of a record; Corrupt when the check fails,
// Unknown for a kind a newer writer added.
Record DecodeRecord(const uint8_t *bytes);

struct Header {
  uint16_t major = kMajorVersion;
  uint16_t minor = kMinorVersion;
  uint32_t headerSize = kHeaderSize;
  uint32_t tableSize = kDefaultTableSize;
  uint32_t recordSize = kRecordSize;
  int64_t startUnixUS = 0;
};

std::array<uint8_t, kHeaderSize> EncodeHeader(const Header &header);
// The header of a file of size bytes, or why it is not one this program
// reads (reason set).
std::optional<Header> DecodeHeader(const uint8_t *bytes, size_t size,
                                   std::string *error);

std::vector<uint8_t> EncodeInterface(const CaptureInterface &interface);
// The table's entries follow each other from its start; the first two
// bytes of an entry give its size, and a size of 0 ends the table.
inline constexpr size_t kEntrySizeBytes = 2;
size_t EntrySize(const uint8_t *bytes);
// The entry of size bytes at bytes; none when it does not check (damaged).
std::optional<CaptureInterface> DecodeEntry(const uint8_t *bytes, size_t size);

uint32_t Crc32(const uint8_t *bytes, size_t size);

} // namespace capture

#endif
