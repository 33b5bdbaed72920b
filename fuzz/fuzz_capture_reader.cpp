// The capture reader on any bytes: a file it opens has its records within
// the bytes and its last record whole; every record and event text decodes
// without reading past them; each interface's entry encodes back to one
// that decodes to it; the file cut by one byte opens to no more records;
// and what it recorded of a device, to play into a simulated one, is in
// time order with reports no longer than a device's; its index records, in
// it or at the starts of slots of a file made around the input, are records
// of the file in order, counting no more rows than records. A file it
// refuses has a reason.
#include "capture/CaptureReader.h"
#include "fuzz/FuzzCheck.h"
#include "sim_replay/RecordedDevice.h"

#include <algorithm>

using namespace capture;

namespace {

void CheckIndex(const CaptureReader &reader) {
  uint64_t recordsBefore = 0, rowsBefore = 0;
  for (const CaptureReader::IndexEntry &entry : reader.index()) {
    FUZZ_CHECK(entry.record >= recordsBefore &&
               entry.record < reader.recordCount());
    FUZZ_CHECK(reader.record(entry.record).kind == RecordKind::Index);
    FUZZ_CHECK(entry.rowsBefore >= rowsBefore &&
               entry.rowsBefore - rowsBefore <= entry.record - recordsBefore);
    recordsBefore = entry.record + 1;
    rowsBefore = entry.rowsBefore;
  }
}

// The index read where it looks for index records, on any bytes there: a
// capture of reports whose slots 1 and 2 begin with the input's first
// pieces of kMaxTextRecords + 1 records.
void CheckSlots(const uint8_t *data, size_t size) {
  constexpr size_t kPiece = (kMaxTextRecords + 1) * kRecordSize;
  const size_t pieces = std::min<size_t>(size / kPiece, 2);
  if (pieces == 0)
    return;
  // Three slots of reports after the header; each input writes its pieces
  // over the starts of slots 1 and 2.
  static std::vector<uint8_t> file = [] {
    const auto header = EncodeHeader(Header{});
    std::vector<uint8_t> bytes(header.begin(), header.end());
    bytes.resize(kHeaderSize + kDefaultTableSize);
    const uint8_t report[4] = {1, 2, 3, 4};
    for (uint64_t i = 0; i < 3 * kIndexInterval; ++i) {
      const RecordBytes record =
          EncodeReport(false, kNoSource, int64_t(i), std::nullopt, report, 4);
      bytes.insert(bytes.end(), record.begin(), record.end());
    }
    return bytes;
  }();
  constexpr size_t kSlotBytes = kIndexInterval * kRecordSize;
  for (size_t piece = 0; piece < pieces; ++piece)
    std::copy_n(data + piece * kPiece, kPiece,
                file.begin() + kHeaderSize + kDefaultTableSize +
                    (piece + 1) * kSlotBytes);
  const size_t used =
      kHeaderSize + kDefaultTableSize + (pieces + 1) * kSlotBytes;
  std::string reason;
  const auto reader = CaptureReader::fromBytes(file.data(), used, &reason);
  FUZZ_CHECK(reader != nullptr);
  CheckIndex(*reader);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  CheckSlots(data, size);
  std::string reason;
  const auto reader = CaptureReader::fromBytes(data, size, &reason);
  if (!reader) {
    FUZZ_CHECK(!reason.empty());
    return 0;
  }
  const Header &header = reader->header();
  const uint64_t count = reader->recordCount();
  const uint64_t recordsStart = uint64_t(header.headerSize) + header.tableSize;
  FUZZ_CHECK(count == 0 || recordsStart + count * header.recordSize <= size);
  if (count > 0)
    FUZZ_CHECK(reader->record(count - 1).kind != RecordKind::Corrupt);
  FUZZ_CHECK(reader->record(count).kind == RecordKind::Corrupt);
  for (uint64_t i = 0; i < count; ++i) {
    const Record record = reader->record(i);
    FUZZ_CHECK(record.size <= kTextBytesPerRecord);
    FUZZ_CHECK(reader->eventText(i).size() <=
               size_t(kMaxTextRecords * kTextBytesPerRecord));
  }
  CheckIndex(*reader);
  for (const CaptureInterface &interface : reader->interfaces()) {
    const std::vector<uint8_t> entry = EncodeInterface(interface);
    FUZZ_CHECK(EntrySize(entry.data()) == entry.size());
    FUZZ_CHECK(DecodeEntry(entry.data(), entry.size()) == interface);
  }
  if (const auto recorded = hid::sim::RecordedReads(*reader)) {
    FUZZ_CHECK(!recorded->reports.empty());
    for (size_t i = 0; i < recorded->reports.size(); ++i) {
      FUZZ_CHECK(recorded->reports[i].bytes.size() <= 1 + kTextBytesPerRecord);
      FUZZ_CHECK(i == 0 || recorded->reports[i].timeUS >=
                               recorded->reports[i - 1].timeUS);
    }
  }
  const auto shorter = CaptureReader::fromBytes(data, size - 1, &reason);
  FUZZ_CHECK(!shorter || shorter->recordCount() <= count);
  return 0;
}
