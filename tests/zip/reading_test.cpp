// reading_test.cpp -- reading the directory: the backward search for the end record, the
// central directory and its guard, the local headers, the walk over local headers, damaged
// and hostile archives, and the archive comment.
#include <gtest/gtest.h>

#include "support/test_support.h"
#include "zip/OrvZip.h"
#include "zip_test_util.h"

namespace orvzip {
namespace {

using tarnwick::test::FromHex;
using test::EventLog;
using Lines = std::vector<std::string>;

constexpr std::uint32_t kDos = (44u << 25) | (5u << 21) | (6u << 16) | (7u << 11) | (8u << 5) | 5u;

std::string u16(std::uint32_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; }
std::string u32(std::uint32_t v) { return u16(v & 0xFFFF) + u16(v >> 16); }

struct Item {
    std::string name;
    std::string data;  // stored as it is (method 0)
    std::uint32_t date = kDos;
};

std::string localHeader(const Item& it, std::uint16_t flag = 0)
{
    const std::uint32_t crc = TOrvZipEntries::DataCrc32(it.data);
    return u32(kLocalFileSignature) + u16(20) + u16(flag) + u16(0) + u32(it.date) + u32(crc) +
           u32(static_cast<std::uint32_t>(it.data.size())) + u32(static_cast<std::uint32_t>(it.data.size())) +
           u16(static_cast<std::uint32_t>(it.name.size())) + u16(0) + it.name;
}

std::string centralHeader(const Item& it, std::uint32_t offset, std::uint32_t attributes = 0x20)
{
    const std::uint32_t crc = TOrvZipEntries::DataCrc32(it.data);
    return u32(kCentralFileSignature) + u16(20) + u16(20) + u16(0) + u16(0) + u32(it.date) + u32(crc) +
           u32(static_cast<std::uint32_t>(it.data.size())) + u32(static_cast<std::uint32_t>(it.data.size())) +
           u16(static_cast<std::uint32_t>(it.name.size())) + u16(0) + u16(0) + u16(0) + u16(0) + u32(attributes) +
           u32(offset) + it.name;
}

std::string endRecord(std::uint32_t count, std::uint32_t size, std::uint32_t offset, std::uint32_t commentLength)
{
    return u32(kEndOfCentralDirSignature) + u16(0) + u16(0) + u16(count) + u16(count) + u32(size) + u32(offset) +
           u16(commentLength);
}

struct Layout {
    std::string bytes;
    std::uint32_t directoryOffset = 0;
    std::uint32_t directorySize = 0;
    std::uint32_t endPos = 0;
};

// Stored entries, their central directory, the end record and the comment.
Layout archive(const std::vector<Item>& items, const std::string& comment = "")
{
    Layout l;
    std::vector<std::uint32_t> offsets;
    for (const Item& it : items) {
        offsets.push_back(static_cast<std::uint32_t>(l.bytes.size()));
        l.bytes += localHeader(it) + it.data;
    }
    l.directoryOffset = static_cast<std::uint32_t>(l.bytes.size());
    for (std::size_t i = 0; i < items.size(); ++i)
        l.bytes += centralHeader(items[i], offsets[i]);
    l.directorySize = static_cast<std::uint32_t>(l.bytes.size()) - l.directoryOffset;
    l.endPos = static_cast<std::uint32_t>(l.bytes.size());
    l.bytes += endRecord(static_cast<std::uint32_t>(items.size()), l.directorySize, l.directoryOffset,
                         static_cast<std::uint32_t>(comment.size())) +
               comment;
    return l;
}

// Opens bytes as an archive held in memory; returns the stream while the component owns it.
tarnwick::TMemoryStream* openBytes(TOrvZip& zip, const std::string& bytes)
{
    auto stream = std::make_unique<tarnwick::TMemoryStream>();
    stream->WriteBuffer(bytes);
    stream->SetPosition(0);
    tarnwick::TMemoryStream* raw = stream.get();
    zip.OpenArchiveStream(std::move(stream));
    return zip.ArchiveStream() != nullptr ? raw : nullptr;
}

Lines namesOf(TOrvZip& zip)
{
    Lines names;
    for (int i = 0; i < zip.Entries().Count(); ++i)
        names.push_back(zip.Entries().Items(i).CentralRecord.FileName);
    return names;
}

// A comment of the given length that contains many 50 bytes, so that the search steps over
// four positions at a time on its way down.
std::string commentOf(std::size_t length)
{
    std::string s;
    while (s.size() < length)
        s += "P-PP";
    s.resize(length);
    return s;
}

// One entry whose data fills the archive up so that its end record lies at endPos.
Item fillerFor(std::size_t endPos)
{
    const std::size_t overhead = 30 + 5 + 46 + 5;
    return Item{"a.txt", std::string(endPos - overhead, 'd')};
}

struct SearchCase {
    const char* what;
    std::size_t size;     // stream size S
    std::size_t comment;  // archive comment length; the end record lies at S - 22 - comment
    bool found;           // found by the search (else the walk rebuilds the entries)
};

void PrintTo(const SearchCase& c, std::ostream* os) { *os << c.what; }

class EndRecordSearch : public ::testing::TestWithParam<SearchCase> {};

TEST_P(EndRecordSearch, FindsTheEndRecordWithinReachOnly)
{
    const SearchCase& c = GetParam();
    const std::size_t endPos = c.size - 22 - c.comment;
    Layout l = endPos == 0 ? archive({}, commentOf(c.comment)) : archive({fillerFor(endPos)}, commentOf(c.comment));
    ASSERT_EQ(l.bytes.size(), c.size);
    ASSERT_EQ(l.endPos, endPos);

    TOrvZip zip(nullptr);
    openBytes(zip, l.bytes);
    if (c.found) {
        EXPECT_TRUE(zip.IsZipFile());
        EXPECT_FALSE(zip.HasDamagedEntries());
        EXPECT_EQ(zip.EndRecordPos(), endPos);
        EXPECT_EQ(zip.CommentPos(), endPos + 22);
        EXPECT_EQ(zip.Comment().Text(), c.comment > 0 ? commentOf(c.comment) + "\r\n" : "");
    } else if (endPos == 0) {
        EXPECT_FALSE(zip.IsZipFile());  // no local header at 0 either
    } else {
        EXPECT_TRUE(zip.IsZipFile());
        EXPECT_TRUE(zip.HasDamagedEntries());
        EXPECT_EQ(namesOf(zip), (Lines{"a.txt"}));
        EXPECT_EQ(zip.Comment().Count(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, EndRecordSearch,
    ::testing::Values(SearchCase{"EmptyArchive", 22, 0, true}, SearchCase{"SmallWholeComment", 222, 200, true},
                      SearchCase{"Below256AtZero", 255, 233, true},
                      SearchCase{"Below1024Longest", 1000, 256, true},
                      SearchCase{"Below1024TooLong", 1000, 257, false},
                      SearchCase{"Size600Comment300", 600, 300, false},
                      SearchCase{"Size2000Comment300", 2000, 300, true},
                      SearchCase{"Below65536Longest", 60000, 1280, true},
                      SearchCase{"Below65536TooLong", 60000, 1281, false},
                      SearchCase{"Size1024Longest", 1024, 1280 - 278, true},
                      SearchCase{"LargeLongestComment", 70000, 65535, true}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(Reading, ShortFilesAreNoArchive)
{
    for (const std::string& bytes : {std::string(), std::string(21, 'x'), FromHex("50 4B 05 06") + std::string(17, '\0')}) {
        TOrvZip zip(nullptr);
        openBytes(zip, bytes);
        EXPECT_FALSE(zip.IsZipFile()) << bytes.size();
        EXPECT_FALSE(zip.Entries().ArchiveValid());
    }
}

TEST(Reading, TheHigherOfTwoSignaturesIsTaken)
{
    // The comment holds a complete empty end record of its own, the higher of the two.
    const std::string inner = endRecord(0, 0, 0, 0);
    Layout l = archive({{"x.txt", "xx"}}, inner);
    TOrvZip zip(nullptr);
    openBytes(zip, l.bytes);
    EXPECT_TRUE(zip.IsZipFile());
    EXPECT_EQ(zip.EndRecordPos(), l.endPos + 22);
    EXPECT_EQ(zip.Entries().Count(), 0);
}

TEST(Reading, OnlyEntriesOnThisDiskHeadersAreRead)
{
    Layout l = archive({{"one", "1"}, {"two", "22"}});
    // Claim one entry: the second central header is never read.
    l.bytes[l.endPos + 8] = 1;
    l.bytes[l.endPos + 10] = 1;
    TOrvZip zip(nullptr);
    openBytes(zip, l.bytes);
    EXPECT_TRUE(zip.IsZipFile());
    EXPECT_EQ(namesOf(zip), (Lines{"one"}));
}

TEST(Reading, CentralDirectoryFailuresMakeNoArchive)
{
    struct Case {
        const char* what;
        std::function<void(Layout&)> damage;
    };
    const std::vector<Case> cases = {
        // The date of the second header is 0, as an old add path wrote for files before 1980.
        {"invalid date", [](Layout& l) { l.bytes.replace(l.directoryOffset + 51 + 12, 4, u32(0)); }},
        // Headers lie behind the end of the stream: a cleared header carries date 0.
        {"count beyond the stream", [](Layout& l) { l.bytes.replace(l.endPos + 8, 4, u16(60000) + u16(60000)); }},
        // Offsets are read as signed 32-bit numbers.
        {"offset from 2 GiB", [](Layout& l) { l.bytes.replace(l.endPos + 16, 4, u32(0x80000000u)); }},
    };
    for (const Case& c : cases) {
        Layout l = archive({{"one", "1"}, {"two", "22"}});
        c.damage(l);
        TOrvZip zip(nullptr);
        EventLog log(zip);
        openBytes(zip, l.bytes);
        EXPECT_FALSE(zip.IsZipFile()) << c.what;
        EXPECT_EQ(zip.Entries().Count(), 0) << c.what;  // closed again
        EXPECT_EQ(log.Lines().back(), "OnZipChange 1") << c.what;
    }
}

TEST(Reading, EventsWhileReadingAndAHandlerThatFails)
{
    Layout l = archive({{"a", "1"}, {"b", "2"}, {"c", "3"}});
    {
        TOrvZip zip(nullptr);
        EventLog log(zip);
        openBytes(zip, l.bytes);
        EXPECT_EQ(log.Lines(), (Lines{"OnZipOpen 0 3", "OnZipOpen 1 3", "OnZipOpen 2 3", "OnZipOpen 0 3",
                                      "OnZipOpen 1 3", "OnZipOpen 2 3", "OnZipChange 1"}));
    }
    {
        // A failure while the central directory is read counts as no archive, silently.
        TOrvZip zip(nullptr);
        zip.OnZipOpen = [](TComponent*, std::int32_t current, std::int32_t) {
            if (current == 1)
                throw tarnwick::Exception("stop");
        };
        openBytes(zip, l.bytes);
        EXPECT_FALSE(zip.IsZipFile());
    }
    {
        // While the local headers are read it propagates; the component keeps the stream and
        // the entries with IsZipFile False until CloseArchive.
        TOrvZip zip(nullptr);
        int calls = 0;
        zip.OnZipOpen = [&](TComponent*, std::int32_t, std::int32_t) {
            if (++calls == 5)
                throw tarnwick::Exception("stop");
        };
        EXPECT_THROW_MSG(openBytes(zip, l.bytes), tarnwick::Exception, "stop");
        EXPECT_FALSE(zip.IsZipFile());
        EXPECT_NE(zip.ArchiveStream(), nullptr);
        EXPECT_EQ(zip.Entries().Count(), 3);
        zip.CloseArchive();
        EXPECT_EQ(zip.ArchiveStream(), nullptr);
        EXPECT_EQ(zip.Entries().Count(), 0);
    }
}

TEST(Reading, MissingLocalHeaderMarksTheArchiveDamaged)
{
    Layout l = archive({{"a", "1"}, {"b", "2"}});
    // Point the second entry at the first entry's data, and past 2 GiB for a third try.
    for (std::uint32_t offset : {31u, 0x80000010u, 0x7FFFFFF0u}) {
        Layout damaged = l;
        damaged.bytes.replace(damaged.directoryOffset + 47 + 42, 4, u32(offset));
        TOrvZip zip(nullptr);
        openBytes(zip, damaged.bytes);
        EXPECT_TRUE(zip.IsZipFile()) << offset;
        EXPECT_TRUE(zip.HasDamagedEntries()) << offset;
        EXPECT_EQ(zip.Entries().Items(0).LocalRecord.Signature, kLocalFileSignature);
        EXPECT_EQ(zip.Entries().Items(1).LocalRecord.Signature, 0u);
        EXPECT_EQ(zip.Entries().Items(1).LocalRecord.FileName, "");
    }
    TOrvZip zip(nullptr);
    openBytes(zip, l.bytes);
    EXPECT_FALSE(zip.HasDamagedEntries());
    EXPECT_EQ(zip.Entries().Items(1).LocalRecord.FileName, "b");
}

TEST(Reading, DataDescriptorIsTakenFromInFrontOfTheData)
{
    const Item it{"d.bin", "payload"};
    std::string bytes = localHeader(it, 8);
    bytes += u32(0x08074B50) + u32(0x11111111) + u32(7) + u32(9) + it.data;
    tarnwick::TMemoryStream stream;
    stream.WriteBuffer(bytes);
    TOrvZip zip(nullptr);
    TLocalFile record;
    zip.Entries().ReadLocalHeader(stream, 0, record, false);
    EXPECT_EQ(record.Crc32, 0x11111111u);
    EXPECT_EQ(record.CompressedSize, 7u);
    EXPECT_EQ(record.UncompressedSize, 9u);
    EXPECT_EQ(record.FileName, "d.bin");
    EXPECT_EQ(record.CompressedData, "payload");

    // No signature at the offset: the record stays cleared.
    record.FileName = "stale";
    zip.Entries().ReadLocalHeader(stream, 1, record, false);
    EXPECT_EQ(record.Signature, 0u);
    EXPECT_EQ(record.FileName, "");
}

TEST(Reading, HostileLengthsAllocateNoMoreThanTheStreamHolds)
{
    // A central header that claims 65535 bytes for each string and 4 GiB of data.
    std::string central = u32(kCentralFileSignature) + u16(20) + u16(20) + u16(0) + u16(8) + u32(kDos) + u32(0) +
                          u32(0xFFFFFFF0u) + u32(0xFFFFFFF0u) + u16(0xFFFF) + u16(0xFFFF) + u16(0xFFFF) + u16(0) +
                          u16(0) + u32(0x20) + u32(0) + "name";
    std::string local = u32(kLocalFileSignature) + u16(20) + u16(0) + u16(8) + u32(kDos) + u32(0) +
                        u32(0xFFFFFFF0u) + u32(0xFFFFFFF0u) + u16(0xFFFF) + u16(0xFFFF) + "abc";
    std::string bytes = local + central + endRecord(1, 0xFFFF, static_cast<std::uint32_t>(local.size()), 0);
    TOrvZip zip(nullptr);
    openBytes(zip, bytes);
    // The strings ran into the end record, so nothing is valid; nothing big was made either.
    if (zip.Entries().Count() > 0) {
        const TCentralDirectoryFile& c = zip.Entries().Items(0).CentralRecord;
        EXPECT_LE(c.FileName.size() + c.ExtraField.size() + c.FileComment.size(), bytes.size());
    }
    tarnwick::TMemoryStream stream;
    stream.WriteBuffer(local);
    TLocalFile record;
    zip.Entries().ReadLocalHeader(stream, 0, record, false);
    EXPECT_EQ(record.FileName, "abc");
    EXPECT_EQ(record.ExtraField, "");
    EXPECT_EQ(record.CompressedData, "");
    EXPECT_EQ(record.CompressedSize, 0xFFFFFFF0u);
}

TEST(Reading, WalkRebuildsEntriesFromLocalHeaders)
{
    Layout l = archive({{"dir/", ""}, {"dir/f.txt", "hello"}});
    const std::string truncated = l.bytes.substr(0, l.directoryOffset + 30);  // inside the directory
    TOrvZip zip(nullptr);
    EventLog log(zip);
    openBytes(zip, truncated);
    ASSERT_TRUE(zip.IsZipFile());
    EXPECT_TRUE(zip.HasDamagedEntries());
    EXPECT_EQ(log.Lines(), (Lines{"OnZipChange 1"}));  // the walk raises no OnZipOpen
    EXPECT_EQ(namesOf(zip), (Lines{"dir/", "dir/f.txt"}));
    const TOrvZipEntriesEntry& folder = zip.Entries().Items(0);
    const TOrvZipEntriesEntry& file = zip.Entries().Items(1);
    EXPECT_EQ(folder.CentralRecord.ExternalFileAttributes, 0x10u);
    EXPECT_TRUE(folder.FolderEntry);
    EXPECT_EQ(file.CentralRecord.ExternalFileAttributes, 0x20u);
    EXPECT_FALSE(file.FolderEntry);
    EXPECT_EQ(file.CentralRecord.Signature, kCentralFileSignature);
    EXPECT_EQ(file.CentralRecord.VersionMadeBy, 20);
    EXPECT_EQ(file.CentralRecord.InternalFileAttributes, 20);  // the version needed, as documented
    EXPECT_EQ(file.CentralRecord.RelativeOffsetOfLocalHeader, 34u);
    EXPECT_EQ(file.CentralRecord.Crc32, TOrvZipEntries::DataCrc32("hello"));
    EXPECT_EQ(file.LocalRecord.Signature, 0u);
    EXPECT_EQ(file.EntryDate, (tarnwick::TDateTime{2024, 5, 6, 7, 8, 10, 0}));
    // The walk stopped at the first central header and takes the directory to begin behind it.
    const TEndOfCentralDirectoryRecord& end = zip.EndRecord();
    EXPECT_EQ(end.Signature, kEndOfCentralDirSignature);
    EXPECT_EQ(end.EntriesOnThisDisk, 2);
    EXPECT_EQ(end.TotalEntries, 2);
    EXPECT_EQ(end.CentralDirectoryOffset, l.directoryOffset + 4);
    EXPECT_EQ(end.CentralDirectorySize, (46u + 4) + (46u + 9));
    EXPECT_EQ(end.CommentLength, 0);
    EXPECT_EQ(zip.Comment().Count(), 0);
}

TEST(Reading, WalkOverAnArchiveCutInsideTheLastEntrysData)
{
    Layout l = archive({{"a", "1111"}, {"b", std::string(100, 'b')}});
    const std::string cut = l.bytes.substr(0, 35 + 31 + 50);
    TOrvZip zip(nullptr);
    openBytes(zip, cut);
    ASSERT_TRUE(zip.IsZipFile());
    EXPECT_TRUE(zip.HasDamagedEntries());
    EXPECT_EQ(namesOf(zip), (Lines{"a", "b"}));
    EXPECT_EQ(zip.EndRecord().CentralDirectoryOffset, 35u + 31 + 100);  // behind the end of the stream
    // A directory written there would fill the gap with zeros: the comment is refused instead.
    EXPECT_THROW(zip.SetComment(TStringList{"x"}), tarnwick::Exception);
    EXPECT_EQ(zip.ArchiveStream()->Size(), static_cast<std::int64_t>(cut.size()));
}

TEST(Reading, WalkEndedByAnInvalidDateKeepsWhatItTookAndTheBytesBehind)
{
    Layout l = archive({{"good", "1"}, {"bad", "2", 0}});
    const std::string bytes = l.bytes.substr(0, l.directoryOffset);  // no directory at all
    TOrvZip zip(nullptr);
    tarnwick::TMemoryStream* stream = openBytes(zip, bytes);
    ASSERT_TRUE(zip.IsZipFile());
    EXPECT_EQ(namesOf(zip), (Lines{"good"}));
    EXPECT_EQ(zip.EndRecord().EntriesOnThisDisk, 1);
    EXPECT_EQ(zip.EndRecord().CentralDirectoryOffset, bytes.size());

    // An add then writes a directory that describes what the file holds, the unreadable
    // entry's bytes left in place.
    tarnwick::TMemoryStream source;
    source.WriteBuffer(std::string("new data"));
    source.SetPosition(0);
    zip.Entries().AddStreamEntry("new.txt", 0x20, source, tarnwick::TDateTime{2024, 1, 1, 0, 0, 0, 0});
    EXPECT_TRUE(test::VerifyArchive(stream->Bytes()));
    EXPECT_EQ(stream->Bytes().substr(0, bytes.size()), bytes);
    EXPECT_EQ(namesOf(zip), (Lines{"good", "new.txt"}));
}

TEST(Reading, CommentReadAndWritten)
{
    Layout l = archive({{"a", "1"}}, "abc");
    TOrvZip zip(nullptr);
    tarnwick::TMemoryStream* stream = openBytes(zip, l.bytes);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(zip.Comment().Lines(), (Lines{"abc"}));
    zip.SetComment(TStringList{"abc"});
    EXPECT_EQ(stream->Bytes(), l.bytes);  // the same lines: nothing written

    zip.SetComment(TStringList{"abcd"});
    EXPECT_EQ(zip.EndRecord().CommentLength, 6);
    EXPECT_EQ(stream->Bytes(), l.bytes.substr(0, l.endPos + 20) + u16(6) + "abcd\r\n");
    EXPECT_EQ(zip.CommentPos(), l.endPos + 22);

    zip.SetComment(TStringList{});
    EXPECT_EQ(zip.EndRecord().CommentLength, 0);
    EXPECT_EQ(stream->Bytes(), l.bytes.substr(0, l.endPos + 20) + u16(0));
    EXPECT_EQ(zip.Comment().Count(), 0);
}

TEST(Reading, CommentLinesSplitAtEveryBreakAndEndAtAZeroByte)
{
    Layout l = archive({}, std::string("one\r\ntwo\rthree\nfour\0five", 24));
    TOrvZip zip(nullptr);
    openBytes(zip, l.bytes);
    EXPECT_EQ(zip.Comment().Lines(), (Lines{"one", "two", "three", "four"}));
}

TEST(Reading, CommentIsLeftAloneUntilReadAndRefusedBeyondItsLimit)
{
    Layout l = archive({{"a", "1"}}, "keep");
    TOrvZip zip(nullptr);
    tarnwick::TMemoryStream* stream = openBytes(zip, l.bytes);
    // Opening clears the lines held: an empty list equals them and changes nothing.
    zip.SetComment(TStringList{});
    EXPECT_EQ(stream->Bytes(), l.bytes);

    TStringList tooLong{std::string(65534, 'x')};  // 65536 bytes with its CR LF
    EXPECT_THROW(zip.SetComment(tooLong), tarnwick::Exception);
    EXPECT_EQ(stream->Bytes(), l.bytes);

    // A closed component stores nothing.
    zip.CloseArchive();
    zip.SetComment(TStringList{"x"});
    EXPECT_EQ(zip.Comment().Count(), 0);
}

TEST(Reading, CommentAfterTheWalkWritesTheDirectoryItDescribes)
{
    Layout l = archive({{"a", "1"}, {"b", "22"}});
    const std::string bytes = l.bytes.substr(0, l.directoryOffset + 10);
    TOrvZip zip(nullptr);
    tarnwick::TMemoryStream* stream = openBytes(zip, bytes);
    ASSERT_TRUE(zip.HasDamagedEntries());
    zip.SetComment(TStringList{"repaired"});
    test::ParsedArchive parsed;
    ASSERT_TRUE(test::ParseArchive(stream->Bytes(), parsed));
    EXPECT_EQ(parsed.Comment, "repaired\r\n");
    EXPECT_EQ(parsed.Entries.size(), 2u);
    EXPECT_EQ(zip.EndRecordPos(), parsed.EndRecordPos);
    EXPECT_EQ(zip.CommentPos(), parsed.CommentPos);

    TOrvZip again(nullptr);
    openBytes(again, stream->Bytes());
    EXPECT_FALSE(again.HasDamagedEntries());
    EXPECT_EQ(again.Comment().Lines(), (Lines{"repaired"}));
}

}  // namespace
}  // namespace orvzip
