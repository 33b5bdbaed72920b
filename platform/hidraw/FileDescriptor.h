// An open file descriptor, closed when the last owner lets it go.
#ifndef PINWORTH_HIDRAW_FILE_DESCRIPTOR_H
#define PINWORTH_HIDRAW_FILE_DESCRIPTOR_H

#include <unistd.h>

namespace hid::hidraw {

// Shared (std::shared_ptr) between a handle and a request running on its
// helper thread, so that the descriptor is closed only once nobody uses it:
// never under a thread that is still inside a call on it.
class FileDescriptor {
public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { ::close(fd_); }
  FileDescriptor(const FileDescriptor &) = delete;
  FileDescriptor &operator=(const FileDescriptor &) = delete;

  int get() const { return fd_; }

private:
  int fd_;
};

} // namespace hid::hidraw

#endif
