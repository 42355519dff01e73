// rebuild_table_test.cpp -- adding, replacing and removing entries under both save methods and
// both scratch kinds, each outcome checked by the same verifier.
#include <gtest/gtest.h>

#include <ostream>

#include "rebuild_test_helpers.h"

namespace orvzip::test::rebuild {
namespace {

enum class Op { AddToEmpty, AddToOne, AddToThree, ReplaceFirst, ReplaceMiddle, ReplaceLast, RemoveFirst, RemoveMiddle,
                RemoveLast, RemoveOnly };

struct Case {
    Op op;
    TZipSaveMethod method;
    bool tempFiles;
};

const char* opName(Op op)
{
    switch (op) {
    case Op::AddToEmpty: return "AddToEmpty";
    case Op::AddToOne: return "AddToOne";
    case Op::AddToThree: return "AddToThree";
    case Op::ReplaceFirst: return "ReplaceFirst";
    case Op::ReplaceMiddle: return "ReplaceMiddle";
    case Op::ReplaceLast: return "ReplaceLast";
    case Op::RemoveFirst: return "RemoveFirst";
    case Op::RemoveMiddle: return "RemoveMiddle";
    case Op::RemoveLast: return "RemoveLast";
    case Op::RemoveOnly: return "RemoveOnly";
    }
    return "?";
}

std::string caseName(const Case& c)
{
    return std::string(opName(c.op)) + "_" + ToString(c.method) + (c.tempFiles ? "_TempFile" : "_Memory");
}

std::ostream& operator<<(std::ostream& os, const Case& c) { return os << caseName(c); }

const std::vector<Content> kThree = {
    {"one.txt", textData(40)},
    {"two.bin", NoiseBytes(3000, 7)},
    {"three.txt", ""},
};
const std::string kNewData = textData(300);
const std::string kComment = "Archive comment\r\n";

class RebuildTable : public ::testing::TestWithParam<Case> {};

TEST_P(RebuildTable, LeavesAnArchiveThatAgreesWithTheCollectionAndThePeers)
{
    const Case c = GetParam();
    tarnwick::test::TempDir dir;
    ScratchFolder scratch(dir / "tmp");
    const std::string path = dir / "a.zip";
    TOrvZip zip(nullptr);

    std::vector<Content> start;
    switch (c.op) {
    case Op::AddToEmpty: break;
    case Op::AddToOne:
    case Op::RemoveOnly: start = {kThree[0]}; break;
    default: start = kThree; break;
    }
    buildArchive(zip, path, start, {"Archive comment"});
    zip.SetSaveMethod(c.method);
    zip.SetUseTempFiles(c.tempFiles);
    std::vector<std::int32_t> changes;
    zip.OnZipChange = [&](TComponent*, std::int32_t type) { changes.push_back(type); };

    std::vector<Content> expected = start;
    std::int32_t change = change::kAdded;
    auto replace = [&](std::size_t i) {
        const Content fresh{start[i].Name, kNewData};
        expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(i));
        expected.push_back(fresh);
        addData(zip, fresh.Name, fresh.Data);
    };
    auto remove = [&](std::size_t i) {
        expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(i));
        change = change::kRemoved;
        zip.Entries().RemoveEntryAt(static_cast<int>(i));
    };
    switch (c.op) {
    case Op::AddToEmpty:
    case Op::AddToOne:
    case Op::AddToThree:
        expected.push_back({"new.txt", kNewData});
        addData(zip, "new.txt", kNewData);
        break;
    case Op::ReplaceFirst: replace(0); break;
    case Op::ReplaceMiddle: replace(1); break;
    case Op::ReplaceLast: replace(2); break;
    case Op::RemoveFirst: remove(0); break;
    case Op::RemoveMiddle: remove(1); break;
    case Op::RemoveLast: remove(2); break;
    case Op::RemoveOnly: remove(0); break;
    }

    expectArchive(zip, path, expected, kComment);
    // One notification for the whole operation: a replacement's removal raises none.
    EXPECT_EQ(changes, std::vector<std::int32_t>{change});
    EXPECT_TRUE(scratch.Files().empty());
    if (c.op == Op::RemoveOnly) {
        EXPECT_EQ(ReadFileBytes(path).size(), 22 + kComment.size());
        EXPECT_EQ(zip.EndRecord().CentralDirectoryOffset, 0u);
        EXPECT_EQ(zip.EndRecord().CentralDirectorySize, 0u);
    }
}

std::vector<Case> allCases()
{
    std::vector<Case> cases;
    for (Op op : {Op::AddToEmpty, Op::AddToOne, Op::AddToThree, Op::ReplaceFirst, Op::ReplaceMiddle, Op::ReplaceLast,
                  Op::RemoveFirst, Op::RemoveMiddle, Op::RemoveLast, Op::RemoveOnly})
        for (TZipSaveMethod method : {TZipSaveMethod::FastSave, TZipSaveMethod::RebuildAll})
            for (bool tempFiles : {false, true})
                cases.push_back({op, method, tempFiles});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Operations, RebuildTable, ::testing::ValuesIn(allCases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return caseName(info.param); });

}  // namespace
}  // namespace orvzip::test::rebuild
