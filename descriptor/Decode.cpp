#include "descriptor/ItemTags.h"
#include "descriptor/ReportDescriptor.h"

#include <map>
#include <utility>

namespace hid::descriptor {

namespace {

constexpr uint8_t kLongItemPrefix = 0xFE;
constexpr size_t kLongItemHeader = 3; // prefix, data size, long item tag
constexpr uint64_t kMaxReportBits = (kMaxReportBytes - 1) * 8ULL;

using Problem = std::optional<Malformation::Kind>;

// The global items the report table depends on; Push and Pop save and
// restore them together.
struct GlobalState {
  uint32_t usagePage = 0;
  uint32_t reportSize = 0;
  uint32_t reportCount = 0;
  uint8_t reportID = 0;
};

// The item that starts at offset (below size), or nothing when it runs past
// size.
std::optional<Item> ReadItem(const uint8_t *data, size_t size, size_t offset) {
  const uint8_t prefix = data[offset];
  const size_t remaining = size - offset;
  Item item;
  item.offset = offset;
  if (prefix == kLongItemPrefix) {
    if (remaining < kLongItemHeader ||
        remaining - kLongItemHeader < data[offset + 1])
      return std::nullopt;
    item.type = Item::Type::Long;
    item.tag = data[offset + 2];
    item.size = kLongItemHeader + data[offset + 1];
    return item;
  }
  static constexpr size_t kDataSizes[] = {0, 1, 2, 4};
  const size_t dataSize = kDataSizes[prefix & 0x03];
  if (remaining - 1 < dataSize)
    return std::nullopt;
  item.type = static_cast<Item::Type>((prefix >> 2) & 0x03);
  item.tag = prefix >> 4;
  item.size = 1 + dataSize;
  for (size_t i = dataSize; i > 0; --i)
    item.data = item.data << 8 | data[offset + i];
  return item;
}

class Decoder {
public:
  Decoded decode(const uint8_t *data, size_t size) {
    for (size_t offset = 0; offset < size;) {
      std::optional<Item> item = ReadItem(data, size, offset);
      if (!item) {
        fail(Malformation::Kind::CutOff, offset);
        break;
      }
      if (Problem problem = apply(*item)) {
        fail(*problem, offset);
        break;
      }
      decoded_.items.push_back(*item);
      offset += item->size;
    }
    if (!decoded_.error && !openCollections_.empty())
      fail(Malformation::Kind::UnclosedCollection, openCollections_.back());
    fillReports();
    return std::move(decoded_);
  }

private:
  void fail(Malformation::Kind kind, size_t offset) {
    decoded_.error = Malformation{kind, offset};
  }

  // Brings the state up to date with item, and sets its page and depth.
  Problem apply(Item &item) {
    item.usagePage = globals_.usagePage;
    item.depth = static_cast<uint32_t>(openCollections_.size());
    switch (item.type) {
    case Item::Type::Main:
      return applyMain(item);
    case Item::Type::Global:
      return applyGlobal(item);
    default:
      return std::nullopt;
    }
  }

  Problem applyMain(Item &item) {
    switch (item.tag) {
    case tags::kInput:
      return addFields(Report::Kind::Input);
    case tags::kOutput:
      return addFields(Report::Kind::Output);
    case tags::kFeature:
      return addFields(Report::Kind::Feature);
    case tags::kCollection:
      if (openCollections_.size() == kMaxCollectionDepth)
        return Malformation::Kind::CollectionTooDeep;
      openCollections_.push_back(item.offset);
      return std::nullopt;
    case tags::kEndCollection:
      if (openCollections_.empty())
        return Malformation::Kind::EndWithoutCollection;
      openCollections_.pop_back();
      item.depth--;
      return std::nullopt;
    default:
      return std::nullopt;
    }
  }

  Problem applyGlobal(const Item &item) {
    switch (item.tag) {
    case tags::kUsagePage:
      globals_.usagePage = item.data;
      break;
    case tags::kReportSize:
      globals_.reportSize = item.data;
      break;
    case tags::kReportCount:
      globals_.reportCount = item.data;
      break;
    case tags::kReportID:
      if (item.data == 0 || item.data > 0xFF)
        return Malformation::Kind::BadReportID;
      globals_.reportID = static_cast<uint8_t>(item.data);
      decoded_.usesReportIDs = true;
      break;
    case tags::kPush:
      if (pushed_.size() == kMaxPushDepth)
        return Malformation::Kind::PushTooDeep;
      pushed_.push_back(globals_);
      break;
    case tags::kPop:
      if (pushed_.empty())
        return Malformation::Kind::PopWithoutPush;
      globals_ = pushed_.back();
      pushed_.pop_back();
      break;
    }
    return std::nullopt;
  }

  // Adds a main item's fields to the report they belong to. Neither the
  // product nor the sum can overflow 64 bits.
  Problem addFields(Report::Kind kind) {
    const std::pair key{globals_.reportID, kind};
    const auto found = bits_.find(key);
    const uint64_t total = (found == bits_.end() ? 0 : found->second) +
                           uint64_t{globals_.reportSize} * globals_.reportCount;
    if (total > kMaxReportBits)
      return Malformation::Kind::ReportTooLong;
    bits_[key] = total;
    return std::nullopt;
  }

  void fillReports() {
    const uint32_t idBytes = decoded_.usesReportIDs ? 1 : 0;
    for (const auto &[key, bits] : bits_) {
      Report report{key.first, key.second, static_cast<uint32_t>(bits)};
      report.dataBytes = static_cast<uint32_t>((bits + 7) / 8);
      report.reportBytes = report.dataBytes + idBytes;
      decoded_.reports.push_back(report);
    }
  }

  Decoded decoded_;
  GlobalState globals_;
  std::vector<GlobalState> pushed_;
  std::vector<size_t> openCollections_; // the offsets of their items
  std::map<std::pair<uint8_t, Report::Kind>, uint64_t> bits_;
};

} // namespace

Decoded Decode(const uint8_t *data, size_t size) {
  return Decoder().decode(data, size);
}

} // namespace hid::descriptor
