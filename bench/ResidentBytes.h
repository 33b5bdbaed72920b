// The process's resident set, for the benches that measure memory: glibc
// serves large blocks by mmap, which the heap counters do not see.
#ifndef PINWORTH_BENCH_RESIDENT_BYTES_H
#define PINWORTH_BENCH_RESIDENT_BYTES_H

#include <cstddef>
#include <cstdio>
#include <unistd.h>

inline size_t ResidentBytes() {
  long pages = 0, resident = 0;
  if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
      resident = 0;
    std::fclose(statm);
  }
  return size_t(resident) * size_t(sysconf(_SC_PAGESIZE));
}

#endif
