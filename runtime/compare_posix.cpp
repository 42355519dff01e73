// compare_posix.cpp -- AnsiCompareText with the user's locale (LC_CTYPE and LC_COLLATE from the
// environment), without changing the process's global locale.
#include "compare.h"

#include <clocale>
#include <cwchar>
#include <cwctype>
#include <locale.h>
#include <optional>
#include <string>

namespace tarnwick {
namespace {

locale_t userLocale()
{
    static locale_t loc = [] {
        locale_t l = ::newlocale(LC_CTYPE_MASK | LC_COLLATE_MASK, "", static_cast<locale_t>(nullptr));
        if (l == static_cast<locale_t>(nullptr))
            l = ::newlocale(LC_CTYPE_MASK | LC_COLLATE_MASK, "C", static_cast<locale_t>(nullptr));
        return l;
    }();
    return loc;
}

bool isAscii(std::string_view s)
{
    for (unsigned char c : s)
        if (c >= 0x80)
            return false;
    return true;
}

int asciiCompare(std::string_view a, std::string_view b)
{
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        int ca = static_cast<unsigned char>(a[i]);
        int cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'A' && ca <= 'Z')
            ca += 32;
        if (cb >= 'A' && cb <= 'Z')
            cb += 32;
        if (ca != cb)
            return ca - cb;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

std::optional<std::wstring> widenFolded(std::string_view s, locale_t loc)
{
    const locale_t old = ::uselocale(loc);
    std::wstring out;
    std::mbstate_t state {};
    const char* p = s.data();
    std::size_t left = s.size();
    bool ok = true;
    while (left > 0) {
        wchar_t wc = 0;
        const std::size_t n = std::mbrtowc(&wc, p, left, &state);
        if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2)) {
            ok = false;
            break;
        }
        const std::size_t used = n == 0 ? 1 : n;  // an embedded zero byte
        out.push_back(static_cast<wchar_t>(::towlower_l(static_cast<wint_t>(wc), loc)));
        p += used;
        left -= used;
    }
    ::uselocale(old);
    if (!ok)
        return std::nullopt;
    return out;
}

}  // namespace

int AnsiCompareText(std::string_view a, std::string_view b)
{
    if (isAscii(a) && isAscii(b))
        return asciiCompare(a, b);
    const locale_t loc = userLocale();
    auto wa = widenFolded(a, loc);
    auto wb = widenFolded(b, loc);
    if (!wa || !wb)
        return asciiCompare(a, b);  // bytes that the locale cannot decode compare as they are
    const int r = ::wcscoll_l(wa->c_str(), wb->c_str(), loc);
    if (r != 0)
        return r;
    return wa->compare(*wb);  // collation ties are broken by the folded characters
}

}  // namespace tarnwick
