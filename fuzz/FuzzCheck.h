// A check that holds in every build type: a failed one aborts, which
// libFuzzer records as a crash with the input that caused it.
#ifndef PINWORTH_FUZZ_FUZZ_CHECK_H
#define PINWORTH_FUZZ_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                  \
  do {                                                                         \
    if (!(condition)) {                                                        \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__,    \
                   #condition);                                                \
      std::abort();                                                            \
    }                                                                          \
  } while (false)

#endif
