// checked.h -- signed 32-bit arithmetic that raises EIntOverflow instead of wrapping.
#pragma once

#include <cstdint>

#include "errors.h"

namespace tarnwick {

inline std::int32_t CheckedAdd(std::int32_t a, std::int32_t b)
{
    std::int32_t r = 0;
    if (__builtin_add_overflow(a, b, &r))
        throw EIntOverflow();
    return r;
}

inline std::int32_t CheckedSub(std::int32_t a, std::int32_t b)
{
    std::int32_t r = 0;
    if (__builtin_sub_overflow(a, b, &r))
        throw EIntOverflow();
    return r;
}

inline void CheckedIncrement(std::int32_t& counter) { counter = CheckedAdd(counter, 1); }

}  // namespace tarnwick
