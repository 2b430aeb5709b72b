#pragma once
// A property a fuzz target holds its code to: when it fails, the input is a finding just as a
// crash is, so the check aborts with a line that says what was wrong.

#include <cstdio>
#include <cstdlib>

#define QX_FUZZ_CHECK(condition, what)                                                        \
  do {                                                                                        \
    if (!(condition)) {                                                                       \
      std::fprintf(stderr, "fuzz check failed at %s:%d: %s (%s)\n", __FILE__, __LINE__, what, \
                   #condition);                                                               \
      std::abort();                                                                           \
    }                                                                                         \
  } while (false)
