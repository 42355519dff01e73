// rebuild_events_test.cpp -- the events of rebuilding adds and of removals, in their order.
#include <gtest/gtest.h>

#include <ostream>

#include "rebuild_test_helpers.h"

namespace orvzip::test::rebuild {
namespace {

enum class Action { AddSmall, AddLarge, RemoveMiddle, RemoveOnly, ReplaceMiddle };

struct EventCase {
    const char* name;
    int entries;  // the archive starts with this many of one.txt, two.bin, three.txt
    TZipSaveMethod method;
    bool tempFiles;
    bool inBatch;
    Action action;
    std::vector<std::string> expected;
};

std::ostream& operator<<(std::ostream& os, const EventCase& c) { return os << c.name; }

constexpr auto kFast = TZipSaveMethod::FastSave;
constexpr auto kRebuild = TZipSaveMethod::RebuildAll;

// The removal of one of three entries by a rebuild, memory scratch stream, before its final
// notification: measuring, the two stages, the end record, then the directory read again.
const std::vector<std::string> kRemoveOneOfThreeByRebuild = {
    "OnRemoveItems 0 1", "OnRemoveItems 1 1",
    "OnRebuildZip 0 1",  "OnRebuildZip 1 1", "OnRebuildZip 0 1", "OnRebuildZip 1 1", "OnRebuildZip 100 100",
    "OnZipOpen 0 2",     "OnZipOpen 1 2",    "OnZipOpen 0 2",    "OnZipOpen 1 2",
};

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const EventCase kCases[] = {
    {"AddToEmpty_Memory", 0, kRebuild, false, false, Action::AddSmall,
     {"OnRebuildZip 0 0", "OnRebuildZip 100 100", "OnZipChange 2", "OnAddItem new.txt"}},
    {"AddToOne_Memory", 1, kRebuild, false, false, Action::AddSmall,
     {"OnRemoveItems 0 0", "OnRebuildZip 0 0", "OnRebuildZip 0 1", "OnRebuildZip 1 1", "OnRebuildZip 100 100", "OnZipChange 2",
      "OnAddItem new.txt"}},
    {"AddToOne_TempFile", 1, kRebuild, true, false, Action::AddSmall,
     {"OnRebuildZip 0 0", "OnRebuildZip 0 1", "OnRebuildZip 1 1", "OnRebuildZip 100 100", "OnZipChange 2", "OnAddItem new.txt"}},
    // Compression progress comes between the local-header stage and the central directory.
    {"AddLargeToOne_Memory", 1, kRebuild, false, false, Action::AddLarge,
     {"OnRemoveItems 0 0", "OnRebuildZip 0 0", "OnCompressFile of 300000", "OnRebuildZip 0 1", "OnRebuildZip 1 1",
      "OnRebuildZip 100 100", "OnZipChange 2", "OnAddItem big.bin"}},
    {"AddInBatch_TempFile", 0, kRebuild, true, true, Action::AddSmall,
     {"OnRebuildZip 0 0", "OnRebuildZip 100 100", "OnAddItem new.txt"}},
    {"RemoveOneOfThree_Memory", 3, kRebuild, false, false, Action::RemoveMiddle,
     concat(kRemoveOneOfThreeByRebuild, {"OnZipChange 3"})},
    {"RemoveOneOfThree_TempFile", 3, kRebuild, true, false, Action::RemoveMiddle,
     {"OnRebuildZip 0 1", "OnRebuildZip 1 1", "OnRebuildZip 0 1", "OnRebuildZip 1 1", "OnRebuildZip 100 100", "OnZipOpen 0 2",
      "OnZipOpen 1 2", "OnZipOpen 0 2", "OnZipOpen 1 2", "OnZipChange 3"}},
    {"RemoveOneOfThreeInBatch_Memory", 3, kRebuild, false, true, Action::RemoveMiddle, kRemoveOneOfThreeByRebuild},
    {"RemoveOneOfThreeInPlace", 3, kFast, false, false, Action::RemoveMiddle, {"OnZipChange 3"}},
    {"RemoveOneOfThreeInPlaceInBatch", 3, kFast, false, true, Action::RemoveMiddle, {}},
    // Removing the last entry always rebuilds, and the empty archive's directory raises nothing.
    {"RemoveOnlyFastSave_Memory", 1, kFast, false, false, Action::RemoveOnly, {"OnRebuildZip 100 100", "OnZipChange 3"}},
    {"RemoveOnly_Memory", 1, kRebuild, false, false, Action::RemoveOnly, {"OnRebuildZip 100 100", "OnZipChange 3"}},
    // A replacement: the removal's own events (never its notification), then the add's.
    {"ReplaceMiddle_Memory", 3, kRebuild, false, false, Action::ReplaceMiddle,
     concat(kRemoveOneOfThreeByRebuild,
            {"OnRemoveItems 0 1", "OnRemoveItems 1 1", "OnRebuildZip 0 1", "OnRebuildZip 1 1", "OnRebuildZip 0 2",
             "OnRebuildZip 1 2", "OnRebuildZip 2 2", "OnRebuildZip 100 100", "OnZipChange 2", "OnAddItem two.bin"})},
    {"ReplaceMiddleFastSave", 3, kFast, false, false, Action::ReplaceMiddle, {"OnZipChange 2", "OnAddItem two.bin"}},
};

class RebuildEvents : public ::testing::TestWithParam<EventCase> {};

TEST_P(RebuildEvents, AreRaisedInOrder)
{
    const EventCase& c = GetParam();
    tarnwick::test::TempDir dir;
    ScratchFolder scratch(dir / "tmp");
    TOrvZip zip(nullptr);
    const std::vector<Content> three = {{"one.txt", textData(5)}, {"two.bin", NoiseBytes(500, 3)}, {"three.txt", "x"}};
    buildArchive(zip, dir / "a.zip", std::vector<Content>(three.begin(), three.begin() + c.entries));
    zip.SetSaveMethod(c.method);
    zip.SetUseTempFiles(c.tempFiles);
    zip.SetInBatch(c.inBatch);
    EventLog log(zip);

    switch (c.action) {
    case Action::AddSmall: addData(zip, "new.txt", "small"); break;
    case Action::AddLarge: addData(zip, "big.bin", NoiseBytes(300000, 11)); break;
    case Action::RemoveMiddle: zip.Entries().RemoveEntryAt(1); break;
    case Action::RemoveOnly: zip.Entries().RemoveEntryAt(0); break;
    case Action::ReplaceMiddle: addData(zip, "two.bin", "fresh"); break;
    }

    // Compression progress comes once per 64 KiB of output; how often depends on zlib, so a
    // run of it counts as one event, with its total.
    std::vector<std::string> events;
    for (std::string e : log.Lines()) {
        if (e.rfind("OnCompressFile ", 0) == 0)
            e = "OnCompressFile of " + e.substr(e.rfind(' ') + 1);
        if (events.empty() || e != events.back())
            events.push_back(e);
    }
    EXPECT_EQ(events, c.expected);
    EXPECT_EQ(zip.InBatch(), c.inBatch);
}

INSTANTIATE_TEST_SUITE_P(Sequences, RebuildEvents, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<EventCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvzip::test::rebuild
