// Date-times, checked counters, case-insensitive comparison and string lists.
#include <limits>

#include "runtime/checked.h"
#include "runtime/compare.h"
#include "runtime/datetime.h"
#include "runtime/errors.h"
#include "runtime/stringlist.h"
#include "support/test_support.h"

using namespace tarnwick;

namespace {
std::uint32_t dos(int y, int mo, int d, int h, int mi, int s2)
{
    return (static_cast<std::uint32_t>(y - 1980) << 25) | (mo << 21) | (d << 16) | (h << 11) | (mi << 5) | s2;
}
}  // namespace

TEST(DosDateTime, ValidValuesRoundTrip)
{
    for (const TDateTime& t : {TDateTime{1980, 1, 1, 0, 0, 0, 0}, TDateTime{2026, 12, 11, 23, 59, 58, 0},
                               TDateTime{2024, 2, 29, 12, 30, 10, 0}, TDateTime{2107, 12, 31, 23, 59, 58, 0}}) {
        EXPECT_EQ(DosDateTimeToDateTime(DateTimeToDosDateTime(t)), t);
    }
    // Two-second resolution: odd seconds and milliseconds are dropped.
    EXPECT_EQ(DosDateTimeToDateTime(DateTimeToDosDateTime({2020, 5, 6, 7, 8, 9, 999})),
              (TDateTime{2020, 5, 6, 7, 8, 8, 0}));
    EXPECT_EQ(DateTimeToDosDateTime({1980, 1, 1, 0, 0, 0, 0}), 0x00210000u);
}

TEST(DosDateTime, InvalidValuesAreRejected)
{
    const std::uint32_t invalid[] = {
        0,                          // month 0 and day 0
        dos(2020, 0, 10, 1, 1, 1),  // month 0
        dos(2020, 13, 10, 1, 1, 1), // month 13
        dos(2020, 5, 0, 1, 1, 1),   // day 0
        dos(2021, 4, 31, 1, 1, 1),  // 31 April
        dos(2021, 2, 29, 1, 1, 1),  // 29 February of a common year
        dos(2020, 5, 5, 24, 1, 1),  // hour 24
        dos(2020, 5, 5, 1, 60, 1),  // minute 60
        dos(2020, 5, 5, 1, 1, 30),  // seconds field 30
    };
    for (std::uint32_t v : invalid) {
        EXPECT_FALSE(IsValidDosDateTime(v)) << std::hex << v;
        EXPECT_THROW(DosDateTimeToDateTime(v), EConvertError) << std::hex << v;
    }
    EXPECT_TRUE(IsValidDosDateTime(dos(2020, 2, 29, 23, 59, 29)));
}

TEST(DosDateTime, YearsOutsideTheRangeGiveTheNearestValidValue)
{
    const std::uint32_t early = DateTimeToDosDateTime({1970, 6, 1, 10, 0, 0, 0});
    const std::uint32_t late = DateTimeToDosDateTime({2200, 1, 1, 0, 0, 0, 0});
    EXPECT_EQ(DosDateTimeToDateTime(early), (TDateTime{1980, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(DosDateTimeToDateTime(late), (TDateTime{2107, 12, 31, 23, 59, 58, 0}));
}

TEST(CheckedArithmetic, OverflowRaises)
{
    std::int32_t counter = std::numeric_limits<std::int32_t>::max() - 1;
    CheckedIncrement(counter);
    EXPECT_EQ(counter, std::numeric_limits<std::int32_t>::max());
    EXPECT_THROW_MSG(CheckedIncrement(counter), EIntOverflow, "Débordement d'entier");
    EXPECT_EQ(counter, std::numeric_limits<std::int32_t>::max());
    EXPECT_THROW(CheckedSub(std::numeric_limits<std::int32_t>::min(), 1), EIntOverflow);
    EXPECT_EQ(CheckedAdd(-5, 3), -2);
}

TEST(Compare, CaseInsensitiveInTheUsersLocale)
{
    EXPECT_TRUE(AnsiSameText("Data/Map.DAT", "data/map.dat"));
    EXPECT_FALSE(AnsiSameText("a.dat", "a.da"));
    EXPECT_LT(AnsiCompareText("apple", "Banana"), 0);
    EXPECT_GT(AnsiCompareText("b", "A"), 0);
    // The tests run in a UTF-8 locale: accented letters fold too.
    EXPECT_TRUE(AnsiSameText("\xC3\x89t\xC3\xA9.txt", "\xC3\xA9T\xC3\x89.TXT"));  // Été / éTÉ
    EXPECT_FALSE(AnsiSameText("\xC3\xA9", "e"));
    EXPECT_FALSE(AnsiSameText("\xFF", "\xFE"));  // bytes the locale cannot decode still compare
    EXPECT_TRUE(AnsiSameText("\xFF", "\xFF"));
}

TEST(StringList, SplitsAtEveryLineBreakAndStopsAtZero)
{
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"abc", {"abc"}},
        {"abc\r\n", {"abc"}},
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"a\n\nb", {"a", "", "b"}},
        {"a\r\rb", {"a", "", "b"}},
        {std::string("ab\0cd", 5), {"ab"}},
        {"", {}},
        {"\r\n", {""}},
    };
    for (const Case& c : cases) {
        TStringList list;
        list.SetText(c.text);
        EXPECT_EQ(list.Lines(), c.lines) << test::Hex(c.text);
    }
    TStringList list{"abcd", ""};
    EXPECT_EQ(list.Text(), "abcd\r\n\r\n");
    EXPECT_EQ(TStringList{}.Text(), "");
    EXPECT_THROW_MSG(list[2], EListError, "Index de liste hors limites (2)");
}
