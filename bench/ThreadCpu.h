// The CPU time the calling thread has used, for the benches that measure
// the main thread's cost.
#ifndef PINWORTH_BENCH_THREAD_CPU_H
#define PINWORTH_BENCH_THREAD_CPU_H

#include <ctime>

inline double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

#endif
