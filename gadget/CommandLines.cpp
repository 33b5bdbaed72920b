#include "gadget/CommandLines.h"

namespace gadget {

void CommandLines::add(const char *bytes, size_t size) {
  if (tooLong_)
    return;
  pending_.append(bytes, size);
  const size_t lastEnd = pending_.rfind('\n');
  const size_t begun = lastEnd == std::string::npos ? 0 : lastEnd + 1;
  if (pending_.size() - begun > kMaxLineBytes) { // a line that never ends
    tooLong_ = true;
    pending_.clear();
  }
}

std::optional<std::string> CommandLines::next() {
  const size_t end = pending_.find('\n');
  if (tooLong_ || end == std::string::npos)
    return std::nullopt;
  if (end > kMaxLineBytes) {
    tooLong_ = true;
    pending_.clear();
    return std::nullopt;
  }
  std::string line = pending_.substr(0, end);
  pending_.erase(0, end + 1);
  return line;
}

} // namespace gadget
