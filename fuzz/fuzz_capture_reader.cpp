// The capture reader on any bytes: a file it opens has its records within
// the bytes and its last record whole; every record and event text decodes
// without reading past them; each interface's entry encodes back to one
// that decodes to it; the file cut by one byte opens to no more records;
// and what it recorded of a device, to play into a simulated one, is in
// time order with reports no longer than a device's. A file it refuses has a
// reason.
#include "capture/CaptureReader.h"
#include "fuzz/FuzzCheck.h"
#include "sim_replay/RecordedDevice.h"

using namespace capture;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
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
