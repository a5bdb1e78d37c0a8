// A check that holds in every build, so the fuzzer and the corpus replay both see a broken invariant.
#pragma once

#define FUZZ_CHECK(condition) \
    do {                      \
        if (!(condition))     \
            __builtin_trap(); \
    } while (0)
