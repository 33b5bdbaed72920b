#include "platform/ReaderPriority.h"

#include <cstring>
#include <mutex>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

namespace hid {

namespace {

std::mutex problemMutex;
std::string problem; // guarded by problemMutex

} // namespace

bool RaiseReaderPriority() {
  sched_param parameters{};
  parameters.sched_priority = kReaderPriority;
  const int error =
      pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters);
  if (error == 0)
    return true;
  rlimit limit{};
  getrlimit(RLIMIT_RTPRIO, &limit);
  const std::lock_guard lock(problemMutex);
  problem = "real-time priority was not granted (" +
            std::string(std::strerror(error)) + "; RLIMIT_RTPRIO is " +
            (limit.rlim_cur == RLIM_INFINITY ? std::string("unlimited")
                                             : std::to_string(limit.rlim_cur)) +
            ")";
  return false;
}

std::string ReaderPriorityProblem() {
  const std::lock_guard lock(problemMutex);
  return problem;
}

std::string ReaderPriorityNotice() {
  const std::string refused = ReaderPriorityProblem();
  if (refused.empty())
    return {};
  return "Interrupt reports are read at normal priority: " + refused +
         ". On a busy machine a fast device can then fill the kernel's queue "
         "of 64 reports before they are read, and the reports it drops are "
         "lost unseen. The README says how to grant the priority.";
}

} // namespace hid
