#include "platform/hidraw/NodeRemovals.h"

#include <algorithm>
#include <cstdint>
#include <sys/eventfd.h>
#include <utility>

namespace hid::hidraw {

NodeRemovals::NodeRemovals()
    : failureEvent_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

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

void NodeRemovals::removedUnder(const std::string &usbSyspath) {
  const std::string prefix = usbSyspath + '/';
  std::vector<std::string> under;
  for (const auto &[syspath, gone] : watched_)
    if (syspath.starts_with(prefix))
      under.push_back(syspath);
  for (const std::string &syspath : under)
    removed(syspath);
}

void NodeRemovals::failed(const std::string &syspath) {
  std::lock_guard lock(failedMutex_);
  if (std::find(failed_.begin(), failed_.end(), syspath) != failed_.end())
    return;
  failed_.push_back(syspath);
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t written =
      ::write(failureEvent_.get(), &one, sizeof one);
}

std::vector<std::string> NodeRemovals::takeFailed() {
  std::lock_guard lock(failedMutex_);
  uint64_t count;
  [[maybe_unused]] ssize_t read =
      ::read(failureEvent_.get(), &count, sizeof count);
  return std::exchange(failed_, {});
}

} // namespace hid::hidraw
