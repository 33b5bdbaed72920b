// The hidraw nodes udev has seen removed, told to the handles that watch
// them. A handle delivers no report once its node is removed, even while its
// reader is still reading what the node had queued before the device went.
//
// Used on one thread: the one that runs the notification port and the
// handles.
#ifndef PINWORTH_HIDRAW_NODE_REMOVALS_H
#define PINWORTH_HIDRAW_NODE_REMOVALS_H

#include <atomic>
#include <map>
#include <memory>
#include <string>

namespace hid::hidraw {

class NodeRemovals {
public:
  // Sets *gone when the node at syspath is removed. Forgets flags that no
  // longer exist.
  void watch(const std::string &syspath, std::weak_ptr<std::atomic<bool>> gone);
  // The node at syspath was removed.
  void removed(const std::string &syspath);

private:
  std::multimap<std::string, std::weak_ptr<std::atomic<bool>>> watched_;
};

} // namespace hid::hidraw

#endif
