#include "interop/HidRecorderReader.h"

#include <charconv>
#include <optional>

namespace interop {

namespace {

// The words of a line after its "X:" tag.
class Words {
public:
  explicit Words(std::string_view text) : text_(text) {}

  std::optional<std::string_view> next() {
    const size_t start = text_.find_first_not_of(" \t");
    if (start == std::string_view::npos)
      return std::nullopt;
    text_.remove_prefix(start);
    const size_t end = std::min(text_.find_first_of(" \t"), text_.size());
    const std::string_view word = text_.substr(0, end);
    text_.remove_prefix(end);
    return word;
  }
  template <typename Number> std::optional<Number> number(int base = 10) {
    const std::optional<std::string_view> word = next();
    Number value{};
    if (!word || word->empty())
      return std::nullopt;
    const auto [end, error] =
        std::from_chars(word->data(), word->data() + word->size(), value, base);
    if (error != std::errc() || end != word->data() + word->size())
      return std::nullopt;
    return value;
  }
  bool atEnd() { return !next(); }

private:
  std::string_view text_;
};

// "size b0 b1 ...": exactly size hex bytes.
std::optional<std::vector<uint8_t>> SizedBytes(Words &words) {
  const std::optional<size_t> size = words.number<size_t>();
  if (!size || *size > 65536)
    return std::nullopt;
  std::vector<uint8_t> bytes;
  bytes.reserve(*size);
  while (const std::optional<std::string_view> word = words.next()) {
    uint8_t byte = 0;
    const auto [end, error] =
        std::from_chars(word->data(), word->data() + word->size(), byte, 16);
    if (word->size() > 2 || error != std::errc() ||
        end != word->data() + word->size())
      return std::nullopt;
    bytes.push_back(byte);
  }
  if (bytes.size() != *size)
    return std::nullopt;
  return bytes;
}

// "seconds.microseconds", up to six digits after the point.
std::optional<int64_t> Time(Words &words) {
  const std::optional<std::string_view> word = words.next();
  if (!word)
    return std::nullopt;
  const size_t point = word->find('.');
  const std::string_view whole = word->substr(0, point);
  const std::string_view fraction = point == std::string_view::npos
                                        ? std::string_view()
                                        : word->substr(point + 1);
  int64_t seconds = 0, micro = 0;
  const auto [end, error] =
      std::from_chars(whole.data(), whole.data() + whole.size(), seconds);
  if (error != std::errc() || end != whole.data() + whole.size() ||
      seconds < 0 || seconds > INT64_MAX / 1000000 || fraction.size() > 6)
    return std::nullopt;
  for (char c : fraction) {
    if (c < '0' || c > '9')
      return std::nullopt;
    micro = micro * 10 + (c - '0');
  }
  for (size_t digits = fraction.size(); digits < 6; ++digits)
    micro *= 10;
  return seconds * 1000000 + micro;
}

class Reader {
public:
  HidRecording read(std::string_view text) {
    uint64_t number = 0;
    while (!text.empty()) {
      const size_t end = std::min(text.find('\n'), text.size());
      std::string_view line = text.substr(0, end);
      text.remove_prefix(std::min(end + 1, text.size()));
      ++number;
      if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
      if (!readLine(line) && !recording_.linesSkipped++)
        recording_.firstSkippedLine = number;
    }
    return std::move(recording_);
  }

private:
  // False when the line does not read as its tag says.
  bool readLine(std::string_view line) {
    static constexpr std::string_view kWritten = "# W:";
    if (line.starts_with(kWritten))
      return report(line.substr(kWritten.size()), true);
    if (line.empty() || line[0] == '#')
      return true;
    if (line.size() < 2 || line[1] != ':')
      return false;
    const std::string_view rest = line.substr(2);
    Words words(rest);
    switch (line[0]) {
    case 'D': {
      const std::optional<size_t> index = words.number<size_t>();
      if (!index || *index >= kMaxRecordedDevices || !words.atEnd())
        return false;
      current_ = *index;
      return true;
    }
    case 'R': {
      std::optional<std::vector<uint8_t>> bytes = SizedBytes(words);
      if (!bytes)
        return false;
      device().descriptor = std::move(*bytes);
      return true;
    }
    case 'N':
      device().name = Trimmed(rest);
      return true;
    case 'P':
      device().path = Trimmed(rest);
      return true;
    case 'I': {
      const std::optional<int> bus = words.number<int>(16);
      const std::optional<int> vendor = words.number<int>(16);
      const std::optional<int> product = words.number<int>(16);
      if (!bus || !vendor || !product || !words.atEnd())
        return false;
      HidRecordedDevice &recorded = device();
      recorded.bus = *bus;
      recorded.vendorID = *vendor;
      recorded.productID = *product;
      return true;
    }
    case 'E':
      return report(rest, false);
    default:
      return false;
    }
  }

  bool report(std::string_view rest, bool written) {
    Words words(rest);
    const std::optional<int64_t> time = Time(words);
    std::optional<std::vector<uint8_t>> bytes =
        time ? SizedBytes(words) : std::nullopt;
    if (!bytes)
      return false;
    device(); // a report names its device into being
    recording_.reports.push_back({current_, written, *time, std::move(*bytes)});
    return true;
  }

  HidRecordedDevice &device() {
    if (recording_.devices.size() <= current_)
      recording_.devices.resize(current_ + 1);
    return recording_.devices[current_];
  }

  static std::string Trimmed(std::string_view text) {
    const size_t start = text.find_first_not_of(" \t");
    return start == std::string_view::npos ? std::string()
                                           : std::string(text.substr(start));
  }

  HidRecording recording_;
  size_t current_ = 0;
};

} // namespace

HidRecording ReadHidRecording(std::string_view text) {
  return Reader().read(text);
}

} // namespace interop
