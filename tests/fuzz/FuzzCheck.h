#pragma once

#include <cstdio>
#include <cstdlib>

// Stops the fuzzer with the failed condition named, so a finding says which
// property broke, not only that the process aborted.
#define CHECK(condition)                                                  \
    do {                                                                  \
        if (!(condition)) {                                               \
            std::fprintf(stderr, "check failed: %s\n", #condition);       \
            std::abort();                                                 \
        }                                                                 \
    } while (false)
