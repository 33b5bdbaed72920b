#include "platform/hidraw/NodeRemovals.h"

namespace hid::hidraw {

void NodeRemovals::watch(const std::string &syspath,
                         std::weak_ptr<std::atomic<bool>> gone) {
  std::erase_if(watched_,
                [](const auto &entry) { return entry.second.expired(); });
  watched_.emplace(syspath, std::move(gone));
}

void NodeRemovals::removed(const std::string &syspath) {
  auto [first, last] = watched_.equal_range(syspath);
  for (auto entry = first; entry != last; ++entry)
    if (std::shared_ptr<std::atomic<bool>> gone = entry->second.lock())
      *gone = true;
  watched_.erase(first, last);
}

} // namespace hid::hidraw
