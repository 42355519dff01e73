// compare.h -- case-insensitive comparison of 8-bit strings in the user's locale.
#pragma once

#include <string_view>

namespace tarnwick {

// Negative, zero or positive, as a locale-aware comparison after case folding.
int AnsiCompareText(std::string_view a, std::string_view b);
inline bool AnsiSameText(std::string_view a, std::string_view b) { return AnsiCompareText(a, b) == 0; }

}  // namespace tarnwick
