#include "capture/CaptureFormat.h"

#include <algorithm>
#include <cstring>

namespace capture {
namespace {

constexpr std::array<uint8_t, 8> kMagic = {0x50, 0x57, 0x43, 0x41,
                                           0x50, 0x0D, 0x0A, 0x1A};
constexpr uint8_t kCheckSeed = 0x5A;
constexpr uint8_t kHasReportIDFlag = 0x80;
// Offsets in a record.
constexpr size_t kKindAt = 0, kByte1At = 1, kSourceAt = 2, kBodyAt = 4,
                 kTimeAt = 12, kCheckAt = 23;
// Offsets in an interface table entry.
constexpr size_t kEntryFixedSize = 14, kEntryCrcSize = 4;

template <typename T> void Put(uint8_t *at, T value) {
  for (size_t i = 0; i < sizeof(T); ++i)
    at[i] = uint8_t(uint64_t(value) >> (8 * i));
}

template <typename T> T Get(const uint8_t *at) {
  uint64_t value = 0;
  for (size_t i = 0; i < sizeof(T); ++i)
    value |= uint64_t(at[i]) << (8 * i);
  return T(value);
}

uint8_t CheckByte(const uint8_t *bytes) {
  unsigned sum = kCheckSeed;
  for (size_t i = 0; i < kCheckAt; ++i)
    sum += bytes[i];
  return uint8_t(sum);
}

RecordBytes Sealed(RecordBytes bytes) {
  bytes[kCheckAt] = CheckByte(bytes.data());
  return bytes;
}

RecordBytes Timed(RecordKind kind, uint16_t source, int64_t timeUS) {
  RecordBytes bytes{};
  bytes[kKindAt] = uint8_t(kind);
  Put<uint16_t>(&bytes[kSourceAt], source);
  Put<int64_t>(&bytes[kTimeAt], timeUS);
  return bytes;
}

// The longest prefix of text, up to most bytes, that ends between two UTF-8
// sequences.
size_t Utf8Prefix(const std::string &text, size_t most) {
  if (text.size() <= most)
    return text.size();
  size_t end = most;
  while (end > 0 && (uint8_t(text[end]) & 0xC0) == 0x80)
    --end;
  return end;
}

} // namespace

std::string EventKindText(uint8_t kind) {
  switch (EventKind(kind)) {
  case EventKind::Unplugged:
    return "unplugged";
  case EventKind::PluggedIn:
    return "plugged in";
  case EventKind::ListeningStarted:
    return "listening started";
  case EventKind::ListeningStopped:
    return "listening stopped";
  case EventKind::PollingStarted:
    return "polling started";
  case EventKind::PollingStopped:
    return "polling stopped";
  }
  return "event " + std::to_string(kind);
}

RecordBytes EncodeReport(bool written, uint16_t source, int64_t timeUS,
                         std::optional<uint8_t> reportID, const uint8_t *data,
                         int size) {
  RecordBytes bytes =
      Timed(written ? RecordKind::Written : RecordKind::Read, source, timeUS);
  const int kept = std::clamp(size, 0, kMaxDataSize);
  bytes[kByte1At] = uint8_t(kept | (reportID ? kHasReportIDFlag : 0));
  bytes[kBodyAt] = reportID.value_or(0);
  if (kept > 0)
    std::memcpy(&bytes[kBodyAt + 1], data, size_t(kept));
  return Sealed(bytes);
}

RecordBytes EncodeLoss(uint16_t source, int64_t timeUS, uint32_t count) {
  RecordBytes bytes = Timed(RecordKind::Loss, source, timeUS);
  Put<uint32_t>(&bytes[kBodyAt], count);
  return Sealed(bytes);
}

RecordBytes EncodeWritingStopped(int64_t timeUS, int error) {
  RecordBytes bytes = Timed(RecordKind::WritingStopped, kNoSource, timeUS);
  Put<uint32_t>(&bytes[kBodyAt], uint32_t(error));
  return Sealed(bytes);
}

RecordBytes EncodeIndex(uint64_t rowsBefore) {
  RecordBytes bytes = Timed(RecordKind::Index, kNoSource, 0);
  Put<uint64_t>(&bytes[kBodyAt], rowsBefore);
  return Sealed(bytes);
}

std::vector<RecordBytes> EncodeEvent(uint16_t source, int64_t timeUS,
                                     EventKind kind, const std::string &text) {
  const size_t length = Utf8Prefix(text, kMaxEventText);
  const size_t textRecords =
      (length + kTextBytesPerRecord - 1) / kTextBytesPerRecord;
  RecordBytes event = Timed(RecordKind::Event, source, timeUS);
  event[kByte1At] = uint8_t(kind);
  event[kBodyAt] = uint8_t(textRecords);
  std::vector<RecordBytes> records{Sealed(event)};
  for (size_t at = 0; at < length; at += kTextBytesPerRecord) {
    RecordBytes part{};
    const size_t n = std::min<size_t>(kTextBytesPerRecord, length - at);
    part[kKindAt] = uint8_t(RecordKind::EventText);
    part[kByte1At] = uint8_t(n);
    std::memcpy(&part[2], text.data() + at, n);
    records.push_back(Sealed(part));
  }
  return records;
}

bool IsReport(const uint8_t *bytes) {
  return bytes[kKindAt] == uint8_t(RecordKind::Read) ||
         bytes[kKindAt] == uint8_t(RecordKind::Written);
}

bool RecordChecks(const uint8_t *bytes) {
  return bytes[kCheckAt] == CheckByte(bytes);
}

Record DecodeRecord(const uint8_t *bytes) {
  Record record;
  if (!RecordChecks(bytes))
    return record;
  record.rawKind = bytes[kKindAt];
  const bool known = record.rawKind >= uint8_t(RecordKind::Read) &&
                     record.rawKind <= uint8_t(RecordKind::Index);
  record.kind = known ? RecordKind(record.rawKind) : RecordKind::Unknown;
  if (record.kind == RecordKind::EventText) {
    record.size = std::min<uint8_t>(bytes[kByte1At], kTextBytesPerRecord);
    std::memcpy(record.data.data(), &bytes[2], record.size);
    return record;
  }
  record.source = Get<uint16_t>(&bytes[kSourceAt]);
  record.timeUS = Get<int64_t>(&bytes[kTimeAt]);
  switch (record.kind) {
  case RecordKind::Read:
  case RecordKind::Written:
    record.hasReportID = bytes[kByte1At] & kHasReportIDFlag;
    record.size = bytes[kByte1At] & 0x07;
    record.reportID = bytes[kBodyAt];
    std::memcpy(record.data.data(), &bytes[kBodyAt + 1], kMaxDataSize);
    break;
  case RecordKind::Loss:
  case RecordKind::WritingStopped:
    record.count = Get<uint32_t>(&bytes[kBodyAt]);
    break;
  case RecordKind::Event:
    record.eventKind = bytes[kByte1At];
    record.textRecords = std::min<uint8_t>(bytes[kBodyAt], kMaxTextRecords);
    break;
  case RecordKind::Index:
    record.rowsBefore = Get<uint64_t>(&bytes[kBodyAt]);
    break;
  default:
    break;
  }
  return record;
}

bool CountsAsRow(const Record &record) {
  return record.kind != RecordKind::EventText &&
         record.kind != RecordKind::Index && record.kind != RecordKind::Unknown;
}

// Slot 0 holds records 0 to kIndexInterval - 1, every one a row; each slot
// after it begins with its index record, then kIndexInterval - 1 rows.
uint64_t RecordOfSingleRecordRow(uint64_t i) {
  if (i < kIndexInterval)
    return i;
  const uint64_t later = i - kIndexInterval;
  return (1 + later / (kIndexInterval - 1)) * kIndexInterval + 1 +
         later % (kIndexInterval - 1);
}

uint64_t RowsInSingleRecordRows(uint64_t records) {
  return records == 0 ? 0 : records - (records - 1) / kIndexInterval;
}

std::array<uint8_t, kHeaderSize> EncodeHeader(const Header &header) {
  std::array<uint8_t, kHeaderSize> bytes{};
  std::copy(kMagic.begin(), kMagic.end(), bytes.begin());
  Put<uint16_t>(&bytes[8], header.major);
  Put<uint16_t>(&bytes[10], header.minor);
  Put<uint32_t>(&bytes[12], header.headerSize);
  Put<uint32_t>(&bytes[16], header.tableSize);
  Put<uint32_t>(&bytes[20], header.recordSize);
  Put<int64_t>(&bytes[24], header.startUnixUS);
  Put<uint32_t>(&bytes[60], Crc32(bytes.data(), 60));
  return bytes;
}

std::optional<Header> DecodeHeader(const uint8_t *bytes, size_t size,
                                   std::string *error) {
  const auto refuse = [error](std::string why) -> std::optional<Header> {
    *error = std::move(why);
    return std::nullopt;
  };
  if (size < kMagic.size() || !std::equal(kMagic.begin(), kMagic.end(), bytes))
    return refuse("not a capture file");
  if (size < kHeaderSize)
    return refuse("the capture's header is cut short");
  if (Get<uint32_t>(&bytes[60]) != Crc32(bytes, 60))
    return refuse("the capture's header is corrupt");
  Header header;
  header.major = Get<uint16_t>(&bytes[8]);
  header.minor = Get<uint16_t>(&bytes[10]);
  header.headerSize = Get<uint32_t>(&bytes[12]);
  header.tableSize = Get<uint32_t>(&bytes[16]);
  header.recordSize = Get<uint32_t>(&bytes[20]);
  header.startUnixUS = Get<int64_t>(&bytes[24]);
  if (header.major > kMajorVersion)
    return refuse("capture format " + std::to_string(header.major) + "." +
                  std::to_string(header.minor) +
                  " is newer than this program reads (" +
                  std::to_string(kMajorVersion) + ".x)");
  if (header.major < 1 || header.headerSize < kHeaderSize ||
      header.recordSize < kRecordSize || header.recordSize > 4096 ||
      header.tableSize > (1u << 30))
    return refuse("the capture's header is corrupt");
  return header;
}

std::vector<uint8_t> EncodeInterface(const CaptureInterface &interface) {
  const size_t descriptorSize = std::min<size_t>(
      interface.descriptor.size(), 0xFFFF - kEntryFixedSize - kEntryCrcSize);
  std::vector<uint8_t> bytes(kEntryFixedSize + descriptorSize + kEntryCrcSize);
  Put<uint16_t>(&bytes[0], uint16_t(bytes.size()));
  bytes[2] = uint8_t(interface.interfaceType);
  Put<int32_t>(&bytes[4], interface.serialNumber);
  Put<int32_t>(&bytes[8], interface.occurrence);
  Put<uint16_t>(&bytes[12], uint16_t(descriptorSize));
  std::copy_n(interface.descriptor.begin(), descriptorSize, &bytes[14]);
  const size_t crcAt = bytes.size() - kEntryCrcSize;
  Put<uint32_t>(&bytes[crcAt], Crc32(bytes.data(), crcAt));
  return bytes;
}

size_t EntrySize(const uint8_t *bytes) {
  return Get<uint16_t>(bytes);
}

std::optional<CaptureInterface> DecodeEntry(const uint8_t *entry, size_t size) {
  if (size < kEntryFixedSize + kEntryCrcSize || EntrySize(entry) != size)
    return std::nullopt;
  const size_t descriptorSize = Get<uint16_t>(entry + 12);
  const size_t crcAt = size - kEntryCrcSize;
  if (kEntryFixedSize + descriptorSize > crcAt ||
      Get<uint32_t>(entry + crcAt) != Crc32(entry, crcAt))
    return std::nullopt;
  CaptureInterface interface;
  interface.interfaceType = entry[2];
  interface.serialNumber = Get<int32_t>(entry + 4);
  interface.occurrence = Get<int32_t>(entry + 8);
  interface.descriptor.assign(entry + 14, entry + 14 + descriptorSize);
  return interface;
}

uint32_t Crc32(const uint8_t *bytes, size_t size) {
  static const std::array<uint32_t, 256> kTable = [] {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k)
        c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    return table;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i)
    crc = kTable[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

} // namespace capture
