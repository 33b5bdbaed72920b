// The hidraw nodes known removed, told to the handles that watch them. A
// handle delivers no report once its node is removed, even while its reader
// is still reading what the node had queued before the device went.
//
// A node is known removed when udev says so, or when one of its descriptors
// failed as a removed node's does. Without udevd (a container, a minimal
// system) no udev event ever comes; failed() is then the only news, and the
// notification port turns it into the device's removal.
//
// Used on one thread, the one that runs the notification port and the
// handles, but for failed(), which any thread may call.
#ifndef PINWORTH_HIDRAW_NODE_REMOVALS_H
#define PINWORTH_HIDRAW_NODE_REMOVALS_H

#include "platform/hidraw/FileDescriptor.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace hid::hidraw {

class NodeRemovals {
public:
  NodeRemovals();

  // Sets *gone when the node at syspath is removed. Forgets flags that no
  // longer exist.
  void watch(const std::string &syspath, std::weak_ptr<std::atomic<bool>> gone);
  // The node at syspath was removed.
  void removed(const std::string &syspath);
  // Every node under the USB device at usbSyspath was removed.
  void removedUnder(const std::string &usbSyspath);

  // Any thread: a descriptor of the node at syspath failed because the node
  // is gone (ENODEV, a hang-up).
  void failed(const std::string &syspath);
  // The nodes told failed since the last call, each once.
  std::vector<std::string> takeFailed();
  // Readable while a failed node is not taken yet; -1 when none could be
  // made.
  int failureFd() const { return failureEvent_.get(); }

private:
  std::multimap<std::string, std::weak_ptr<std::atomic<bool>>> watched_;
  std::mutex failedMutex_;
  std::vector<std::string> failed_;
  FileDescriptor failureEvent_; // an eventfd
};

} // namespace hid::hidraw

#endif
