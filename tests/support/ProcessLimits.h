// Meeting the limits a user meets, from a test that may run as root.
#ifndef PINWORTH_TESTS_PROCESS_LIMITS_H
#define PINWORTH_TESTS_PROCESS_LIMITS_H

#include <initializer_list>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

// Lowers a resource's soft limit while it lives (RLIMIT_FSIZE: bytes a file
// may grow to; RLIMIT_NOFILE: descriptors the process may hold).
class WithLimit {
public:
  WithLimit(int resource, rlim_t limit) : resource_(resource) {
    getrlimit(resource_, &saved_);
    const rlimit lowered{limit, saved_.rlim_max};
    setrlimit(resource_, &lowered);
  }
  ~WithLimit() { setrlimit(resource_, &saved_); }

private:
  int resource_;
  rlimit saved_{};
};

// Takes capabilities out of the calling thread's effective set while it
// lives; the threads it starts meanwhile lack them too.
class WithoutCapabilities {
public:
  explicit WithoutCapabilities(std::initializer_list<int> capabilities) {
    syscall(SYS_capget, &header_, saved_);
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    for (int capability : capabilities)
      reduced[capability / 32].effective &= ~(1u << (capability % 32));
    syscall(SYS_capset, &header_, reduced);
  }
  ~WithoutCapabilities() { syscall(SYS_capset, &header_, saved_); }

private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
};

// Keeps the calling thread from overriding file permissions while it lives,
// so that a test run as root meets them like a user does.
class WithoutPermissionOverride : WithoutCapabilities {
public:
  WithoutPermissionOverride()
      : WithoutCapabilities({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) {}
};

// Refuses real-time priority to the threads the calling thread starts while
// it lives: CAP_SYS_NICE leaves its effective set, and RLIMIT_RTPRIO is 0.
class WithoutRealTimePriority {
  const WithoutCapabilities withoutNice_{CAP_SYS_NICE};
  const WithLimit noPriority_{RLIMIT_RTPRIO, 0};
};

#endif
