// A busy loop at nice 0 on every core, in processes of its own, for as long
// as the object lives: the busy machine the readers must keep up on.
#ifndef PINWORTH_BENCH_CPU_HOGS_H
#define PINWORTH_BENCH_CPU_HOGS_H

#include <algorithm>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

class CpuHogs {
public:
  CpuHogs() {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < cores; ++i) {
      const pid_t pid = fork();
      if (pid == 0) {
        setpriority(PRIO_PROCESS, 0, 0);
        volatile unsigned long spins = 0;
        for (;;)
          spins = spins + 1;
      }
      if (pid > 0)
        hogs_.push_back(pid);
    }
  }
  ~CpuHogs() {
    for (pid_t pid : hogs_)
      kill(pid, SIGKILL);
    for (pid_t pid : hogs_)
      waitpid(pid, nullptr, 0);
  }
  CpuHogs(const CpuHogs &) = delete;
  CpuHogs &operator=(const CpuHogs &) = delete;

private:
  std::vector<pid_t> hogs_;
};

#endif
