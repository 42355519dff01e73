// fault.h -- the test seam of the platform layer: make a file operation fail on purpose.
//
// Tests arm a rule ("the 3rd write to a path containing 'a.zip' fails with ENOSPC"); the file
// stream and the text files consult it before each system call. Nothing is armed in normal use,
// and the check then costs one relaxed load.
#pragma once

#include <string>
#include <utility>

namespace tarnwick::fault {

enum class Op { Open, Create, Read, Write, SetSize, Close, Delete };

struct Rule {
    Rule(Op op_, int errnoValue_, int skip_ = 0, std::string pathContains_ = {}, int times_ = 1)
        : op(op_), errnoValue(errnoValue_), skip(skip_), pathContains(std::move(pathContains_)), times(times_)
    {
    }
    Op op;
    int errnoValue;           // the errno the operation fails with (ENOSPC for a full disk)
    int skip = 0;             // matching operations to let through before the first failure
    std::string pathContains; // empty: any path
    int times = 1;            // failures to give before the rule is spent; -1 for always
};

void Arm(const Rule& rule);
void Reset();                 // disarms every rule
int FailuresGiven();          // failures given since the last Reset

// Returns the errno to fail with, or 0 to go on. Called by the layer's own file code.
int Check(Op op, const std::string& path);

// Arms a rule for the lifetime of the guard.
class Scoped {
public:
    explicit Scoped(const Rule& rule) { Arm(rule); }
    ~Scoped() { Reset(); }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;
};

}  // namespace tarnwick::fault
