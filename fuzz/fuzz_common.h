// fuzz_common.h -- what the fuzz targets share: a finding that stops the run with its reason.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tarnwick::fuzz {

// A broken promise of the code under test: print why and abort, which libFuzzer reports as a
// crash and the replay program as a failed run.
[[noreturn]] inline void Finding(const std::string& what)
{
    std::fprintf(stderr, "fuzz finding: %s\n", what.c_str());
    std::abort();
}

inline void Expect(bool condition, const char* what)
{
    if (!condition)
        Finding(what);
}

}  // namespace tarnwick::fuzz
