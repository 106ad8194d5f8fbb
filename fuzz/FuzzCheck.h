#pragma once

#include <cstdio>
#include <cstdlib>

// A fuzz target asserts a property, not only that nothing crashed. A violation aborts, and libFuzzer
// keeps the input that caused it (crash-<hash>) to be run again: ./fuzz_x crash-<hash>
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "property violated: %s (%s:%d)\n", #condition, __FILE__, __LINE__);                   \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)
