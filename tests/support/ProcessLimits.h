// Meeting the limits a user meets, from a test that may run as root.
#ifndef PINWORTH_TESTS_PROCESS_LIMITS_H
#define PINWORTH_TESTS_PROCESS_LIMITS_H

#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

// Keeps the calling thread from overriding file permissions while it lives,
// so that a test run as root meets them like a user does.
class WithoutPermissionOverride {
public:
  WithoutPermissionOverride() {
    syscall(SYS_capget, &header_, saved_);
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    reduced[0].effective &=
        ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    syscall(SYS_capset, &header_, reduced);
  }
  ~WithoutPermissionOverride() { syscall(SYS_capset, &header_, saved_); }

private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
};

// Refuses real-time priority to the threads the calling thread starts while
// it lives: CAP_SYS_NICE leaves its effective set, and RLIMIT_RTPRIO is 0.
class WithoutRealTimePriority {
public:
  WithoutRealTimePriority() {
    getrlimit(RLIMIT_RTPRIO, &savedLimit_);
    const rlimit none{0, savedLimit_.rlim_max};
    setrlimit(RLIMIT_RTPRIO, &none);
    syscall(SYS_capget, &header_, saved_);
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    reduced[CAP_SYS_NICE / 32].effective &= ~(1u << (CAP_SYS_NICE % 32));
    syscall(SYS_capset, &header_, reduced);
  }
  ~WithoutRealTimePriority() {
    syscall(SYS_capset, &header_, saved_);
    setrlimit(RLIMIT_RTPRIO, &savedLimit_);
  }

private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
  rlimit savedLimit_{};
};

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

#endif
