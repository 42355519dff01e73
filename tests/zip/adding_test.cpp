// adding_test.cpp -- adding entries with FastSave: the archives that a build ships byte for
// byte, names, folder entries, replacement, levels, progress, the comment, and failures.
#include <gtest/gtest.h>

#include <cerrno>
#include <ctime>
#include <sys/time.h>

#include <zlib.h>

#include "runtime/fault.h"
#include "support/test_support.h"
#include "zip/OrvZip.h"
#include "zip_test_util.h"

namespace orvzip {
namespace {

using tarnwick::TDateTime;
using tarnwick::test::FromHex;
using tarnwick::test::Hex;
using tarnwick::test::NoiseBytes;
using tarnwick::test::ReadFileBytes;
using tarnwick::test::TempDir;
using tarnwick::test::WriteFileBytes;
using test::EventLog;
using Lines = std::vector<std::string>;

const TDateTime kDate{2024, 5, 6, 7, 8, 10, 0};

std::string u32(std::uint32_t v)
{
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

// Sets a file's last-write time to a local date-time.
void setLocalMTime(const std::string& path, int year, int month, int day, int hour, int minute, int second)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    struct timeval times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimes(path.c_str(), times), 0);
}

// Raw deflate data (no zlib header or trailer) inflated again.
std::string inflateRaw(const std::string& in, std::size_t expected)
{
    z_stream zs{};
    EXPECT_EQ(inflateInit2(&zs, -15), Z_OK);
    std::string out(expected + 16, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    zs.avail_in = static_cast<uInt>(in.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&zs, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(zs.avail_in, 0u) << "bytes behind the deflate stream";
    out.resize(zs.total_out);
    inflateEnd(&zs);
    return out;
}

// Raw deflate data as zlib makes it when fed in one piece without flushing and then finished,
// with window bits 15 and memory level 8: the zlib stream without its header and trailer.
std::string rawDeflate(const std::string& data, int level)
{
    z_stream zs{};
    EXPECT_EQ(deflateInit2(&zs, level, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&zs, static_cast<uLong>(data.size())), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&zs, Z_NO_FLUSH), Z_OK);
    EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out.substr(2, out.size() - 6);
}

// The settings of the form's component: bare names, no folder entries, maximum compression.
class Adding : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = dir / "t.zip";
        zip.SetStoreRelativePath(false);
        zip.SetStoreFolders(false);
        zip.CreateArchiveFile(path);
        zip.OpenArchiveFile(path);
        ASSERT_TRUE(zip.IsZipFile());
    }

    TOrvZipEntriesEntry* addBytes(const std::string& name, const std::string& data, const TDateTime& date = kDate,
                                  std::int64_t position = 0)
    {
        tarnwick::TMemoryStream source;
        source.WriteBuffer(data);
        source.SetPosition(position);
        return zip.Entries().AddStreamEntry(name, 0x20, source, date);
    }

    // The stored data of an entry, from the file.
    std::string storedData(int index)
    {
        test::ParsedArchive parsed;
        EXPECT_TRUE(test::ParseArchive(ReadFileBytes(path), parsed));
        const test::ParsedEntry& e = parsed.Entries.at(static_cast<std::size_t>(index));
        return ReadFileBytes(path).substr(e.DataPos, e.Central.CompressedSize);
    }

    Lines names()
    {
        Lines n;
        for (int i = 0; i < zip.Entries().Count(); ++i)
            n.push_back(zip.Entries().Items(i).CentralRecord.FileName);
        return n;
    }

    TempDir dir;
    TOrvZip zip{nullptr};
    std::string path;
};

struct ShippedCase {
    const char* name;
    std::string content;
    std::string expectedHex;  // with TT standing for the four bytes of the DOS date-time
};

TEST_F(Adding, ArchivesOfThePackingPassesByteForByte)
{
    const std::vector<ShippedCase> cases = {
        {"hello.txt", "hello",
         "50 4B 03 04 14 00 00 00 08 00 TT 86 A6 10 36 07 00 00 00 05 00 00 00 09 00 00 00"
         "68 65 6C 6C 6F 2E 74 78 74 CB 48 CD C9 C9 07 00"
         "50 4B 01 02 14 00 14 00 00 00 08 00 TT 86 A6 10 36 07 00 00 00 05 00 00 00 09 00 00 00"
         "00 00 00 00 00 00 20 00 00 00 00 00 00 00 68 65 6C 6C 6F 2E 74 78 74"
         "50 4B 05 06 00 00 00 00 01 00 01 00 37 00 00 00 2E 00 00 00 00 00"},
        {"empty.dat", "",
         "50 4B 03 04 14 00 00 00 00 00 TT 00 00 00 00 00 00 00 00 00 00 00 00 09 00 00 00"
         "65 6D 70 74 79 2E 64 61 74"
         "50 4B 01 02 14 00 14 00 00 00 00 00 TT 00 00 00 00 00 00 00 00 00 00 00 00 09 00 00 00"
         "00 00 00 00 00 00 20 00 00 00 00 00 00 00 65 6D 70 74 79 2E 64 61 74"
         "50 4B 05 06 00 00 00 00 01 00 01 00 37 00 00 00 27 00 00 00 00 00"},
    };
    const std::uint32_t t = (44u << 25) | (5u << 21) | (6u << 16) | (7u << 11) | (8u << 5) | 5u;
    for (const ShippedCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string source = dir / c.name;
        WriteFileBytes(source, c.content);
        setLocalMTime(source, 2024, 5, 6, 7, 8, 11);  // odd second: rounded down to 10
        const std::string archivePath = source + ".zip";

        TOrvZip packer(nullptr);
        packer.SetStoreRelativePath(false);
        packer.SetStoreFolders(false);
        EventLog log(packer);
        packer.CreateArchiveFile(archivePath);
        packer.OpenArchiveFile(archivePath);
        ASSERT_NE(packer.AddFileEntry(source), nullptr);
        packer.CloseArchive();
        EXPECT_EQ(log.Lines(), (Lines{"OnZipChange 0", "OnZipChange 1", "OnZipChange 2", "OnAddItem " + source,
                                      "OnZipChange 0"}));

        std::string hex = c.expectedHex;
        for (std::size_t at = hex.find("TT"); at != std::string::npos; at = hex.find("TT"))
            hex.replace(at, 2, Hex(u32(t)));
        const std::string bytes = ReadFileBytes(archivePath);
        EXPECT_EQ(Hex(bytes), Hex(FromHex(hex)));
        EXPECT_EQ(bytes.size(), 98 + 2 * 9 + (c.content.empty() ? 0 : 7));
        EXPECT_TRUE(test::UnzipTests(archivePath));
        const std::vector<test::PeerEntry> read = test::PythonReads(archivePath);
        ASSERT_EQ(read.size(), 1u);
        EXPECT_EQ(read[0].Name, c.name);
        EXPECT_EQ(read[0].Data, c.content);
        EXPECT_EQ(read[0].Crc, TOrvZipEntries::DataCrc32(c.content));
    }
}

TEST_F(Adding, DatesOutsideTheDosRangeGiveTheNearestValidOne)
{
    struct Case {
        int year;
        std::uint32_t dos;
    };
    const Case cases[] = {
        {1975, (1u << 21) | (1u << 16)},  // 1980-01-01 00:00:00
        {2110, (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u},
    };
    for (const Case& c : cases) {
        const std::string source = dir / ("old" + std::to_string(c.year) + ".txt");
        WriteFileBytes(source, "dated");
        setLocalMTime(source, c.year, 6, 15, 12, 0, 0);
        ASSERT_NE(zip.AddFileEntry(source), nullptr);
        EXPECT_EQ(zip.Entries().Items(zip.Entries().Count() - 1).CentralRecord.LastModFileTimeDate, c.dos);
    }
    zip.CloseArchive();
    zip.OpenArchiveFile(path);
    EXPECT_TRUE(zip.IsZipFile());
    EXPECT_EQ(zip.Entries().Count(), 2);
    EXPECT_EQ(zip.Entries().Items(0).EntryDate, (TDateTime{1980, 1, 1, 0, 0, 0, 0}));
    EXPECT_TRUE(test::UnzipTests(path));
}

TEST_F(Adding, EntryFieldsAndWhatTheNewEntryDerives)
{
    const TDateTime exact{2024, 5, 6, 7, 8, 11, 250};
    TOrvZipEntriesEntry* e = addBytes("x.bin", "x", exact);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e, &zip.Entries().Items(0));
    const TCentralDirectoryFile& c = e->CentralRecord;
    EXPECT_EQ(c.CompressionMethod, 8);
    EXPECT_EQ(c.GeneralPurposeBitFlag, 0);  // also at maximum compression
    EXPECT_EQ(c.UncompressedSize, 1u);
    EXPECT_EQ(c.Crc32, TOrvZipEntries::DataCrc32("x"));
    EXPECT_EQ(c.ExternalFileAttributes, 0x20u);
    TLocalFile local;
    local.Signature = kLocalFileSignature;
    local.VersionNeededToExtract = 20;
    local.CompressionMethod = 8;
    local.LastModFileTimeDate = c.LastModFileTimeDate;
    local.Crc32 = c.Crc32;
    local.CompressedSize = c.CompressedSize;
    local.UncompressedSize = 1;
    local.FileNameLength = 5;
    EXPECT_EQ(e->LocalRecord.Encode(), local.Encode());
    EXPECT_EQ(e->LocalRecord.FileName, "x.bin");
    EXPECT_EQ(e->LocalRecord.CompressedData, "");
    EXPECT_EQ(e->EntryDate, exact);  // as given, not at the two-second resolution
    EXPECT_EQ(e->CompressionType, TZipCompressionType::ctNormal);
    EXPECT_FALSE(e->Encrypted);
    EXPECT_FALSE(e->FolderEntry);
    EXPECT_EQ(zip.CurrentDataSize(), 1u);
    EXPECT_TRUE(zip.NamesStale());
    // One byte gives a non-empty raw deflate stream, without zlib header or trailer.
    const std::string data = storedData(0);
    EXPECT_GT(data.size(), 0u);
    EXPECT_EQ(inflateRaw(data, 1), "x");

    TOrvZipEntriesEntry* empty = addBytes("e.bin", "");
    EXPECT_EQ(empty->CentralRecord.CompressionMethod, 0);
    EXPECT_EQ(empty->CentralRecord.Crc32, 0u);
    EXPECT_EQ(empty->CentralRecord.CompressedSize, 0u);
    EXPECT_EQ(empty->CompressionType, TZipCompressionType::ctUnknown);
    EXPECT_TRUE(test::StateMatchesFile(zip, path));
    EXPECT_TRUE(test::UnzipTests(path));
}

TEST_F(Adding, EachCompressionTypeDeflatesAtItsLevel)
{
    const std::string data = std::string(20000, 'a') + NoiseBytes(3000, 7) + std::string(20000, 'b');
    const std::pair<TZipCompressionType, int> levels[] = {
        {TZipCompressionType::ctNormal, 6},    {TZipCompressionType::ctMaximum, 9},
        {TZipCompressionType::ctFast, 1},      {TZipCompressionType::ctSuperFast, 1},
        {TZipCompressionType::ctNone, 0},
    };
    int index = 0;
    for (const auto& [type, level] : levels) {
        zip.SetCompressionType(type);
        TOrvZipEntriesEntry* e = addBytes("level" + std::to_string(index) + ".bin", data);
        EXPECT_EQ(e->CentralRecord.CompressionMethod, 8);  // stored blocks still count as deflate
        const std::string stored = storedData(index);
        const std::string ref = rawDeflate(data, level);
        EXPECT_TRUE(stored == ref) << ToString(type) << ": " << stored.size() << " bytes, zlib at level " << level
                                   << " gives " << ref.size();
        EXPECT_TRUE(inflateRaw(stored, data.size()) == data);
        ++index;
    }
    EXPECT_TRUE(test::UnzipTests(path));
}

TEST_F(Adding, OnlyTheBytesFromTheSourcePositionOn)
{
    TOrvZipEntriesEntry* e = addBytes("tail.txt", "skipped|kept", kDate, 8);
    EXPECT_EQ(e->CentralRecord.UncompressedSize, 4u);
    EXPECT_EQ(e->CentralRecord.Crc32, TOrvZipEntries::DataCrc32("kept"));
    EXPECT_EQ(test::PythonReads(path).at(0).Data, "kept");
}

struct NameCase {
    std::string item;
    std::string bare;      // StoreRelativePath False
    std::string relative;  // StoreRelativePath True
};

TEST_F(Adding, StoredNames)
{
    const std::vector<NameCase> cases = {
        {"C:\\Data\\Sub\\file1.bin", "file1.bin", "Data/Sub/file1.bin"},
        {"\\\\srv\\share\\Sub\\file2.bin", "file2.bin", "Sub/file2.bin"},
        {"Data\\file3.bin", "file3.bin", "Data/file3.bin"},
        {"D:file4.bin", "file4.bin", "D:file4.bin"},
        {"/home/user/file5.bin", "file5.bin", "/home/user/file5.bin"},  // a native path
        {"file6.bin", "file6.bin", "file6.bin"},
    };
    for (const bool relative : {false, true}) {
        zip.SetStoreRelativePath(relative);
        for (const NameCase& c : cases) {
            TOrvZipEntriesEntry* e = addBytes(c.item, "n");
            EXPECT_EQ(e->CentralRecord.FileName, relative ? c.relative : c.bare) << c.item;
        }
        zip.CreateArchiveFile(path);
        zip.OpenArchiveFile(path);
    }
}

TEST(Names, ToZipNameAndToDosName)
{
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\Games\\Data\\map.dat", "Games/Data/map.dat"},
        {"\\\\srv\\share\\Data\\map.dat", "Data/map.dat"},
        {"Data\\map.dat", "Data/map.dat"},
        {"\\map.dat", "/map.dat"},
        {"map.dat", "map.dat"},
        {"a/b//c/d/e", "e"},
        {"Mixed/Case\\Name.TXT", "Mixed/Case/Name.TXT"},
        {"", ""},
    };
    for (const auto& [path, name] : cases) {
        EXPECT_EQ(ToZipName(path), name) << path;
        std::string dos = name;
        for (char& ch : dos)
            if (ch == '/')
                ch = '\\';
        EXPECT_EQ(ToDosName(path), dos) << path;
    }
}

TEST(Names, DataCrc32KnownAnswers)
{
    EXPECT_EQ(TOrvZipEntries::DataCrc32(std::string()), 0u);
    EXPECT_EQ(TOrvZipEntries::DataCrc32(std::string("123456789")), 0xCBF43926u);
    EXPECT_EQ(TOrvZipEntries::DataCrc32(std::string("hello")), 0x3610A686u);
    const std::string big = NoiseBytes(1 << 20, 7);
    EXPECT_EQ(TOrvZipEntries::DataCrc32(big), static_cast<std::uint32_t>(crc32(
                                                  0, reinterpret_cast<const Bytef*>(big.data()),
                                                  static_cast<uInt>(big.size()))));
}

TEST_F(Adding, IndexOfNameIgnoresCaseAndSeparators)
{
    zip.SetStoreRelativePath(true);
    addBytes("Data\\Sub\\File.bin", "1");
    addBytes("other.txt", "2");
    EXPECT_EQ(zip.Entries().IndexOfName("data/sub/FILE.BIN"), 0);
    EXPECT_EQ(zip.Entries().IndexOfName("C:\\DATA\\Sub\\file.bin"), 0);
    EXPECT_EQ(zip.Entries().IndexOfName("OTHER.TXT"), 1);
    EXPECT_EQ(zip.Entries().IndexOfName("Sub\\File.bin"), -1);
}

TEST_F(Adding, FolderEntriesForEveryFolderOnThePath)
{
    zip.SetStoreRelativePath(true);
    zip.SetStoreFolders(true);
    EventLog log(zip);
    addBytes("C:\\Data\\Sub\\file.bin", "payload");
    EXPECT_EQ(names(), (Lines{"Data/", "Data/Sub/", "Data/Sub/file.bin"}));
    EXPECT_EQ(log.Lines(), (Lines{"OnZipChange 2", "OnZipChange 2", "OnZipChange 2", "OnAddItem C:\\Data\\Sub\\file.bin"}));
    for (int i = 0; i < 2; ++i) {
        const TOrvZipEntriesEntry& folder = zip.Entries().Items(i);
        EXPECT_EQ(folder.CentralRecord.ExternalFileAttributes, 16u);
        EXPECT_TRUE(folder.FolderEntry);
        EXPECT_EQ(folder.CentralRecord.CompressionMethod, 0);
        EXPECT_EQ(folder.CentralRecord.CompressedSize, 0u);
    }
    addBytes("C:\\Data\\Other\\g.bin", "g");  // Data/ is there already
    EXPECT_EQ(names(), (Lines{"Data/", "Data/Sub/", "Data/Sub/file.bin", "Data/Other/", "Data/Other/g.bin"}));
    EXPECT_TRUE(test::UnzipTests(path));
    EXPECT_EQ(test::UnzipNames(path), names());

    // Folders are stored only with relative paths.
    zip.SetStoreRelativePath(false);
    addBytes("C:\\Else\\h.bin", "h");
    EXPECT_EQ(names().back(), "h.bin");
    EXPECT_EQ(zip.Entries().Count(), 6);
}

TEST_F(Adding, SameNameReplacesTheEntryAtTheEnd)
{
    addBytes("a.txt", "first");
    addBytes("b.txt", "second");
    EventLog log(zip);
    TOrvZipEntriesEntry* e = addBytes("C:\\elsewhere\\A.TXT", "replacement");
    EXPECT_EQ(names(), (Lines{"b.txt", "A.TXT"}));
    EXPECT_EQ(e, &zip.Entries().Items(1));
    EXPECT_EQ(log.Lines(), (Lines{"OnZipChange 2", "OnAddItem C:\\elsewhere\\A.TXT"}));
    EXPECT_FALSE(zip.InBatch());
    EXPECT_TRUE(test::StateMatchesFile(zip, path));
    EXPECT_TRUE(test::UnzipTests(path));
    const auto read = test::PythonReads(path);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[1].Data, "replacement");
}

TEST_F(Adding, PathThatNamesNothingChangesNothing)
{
    addBytes("a.txt", "a");
    const std::string before = ReadFileBytes(path);
    EventLog log(zip);
    EXPECT_EQ(zip.AddFileEntry(dir / "missing.txt"), nullptr);
    EXPECT_EQ(zip.Entries().AddFileEntryAs(dir / "missing.txt", "x"), nullptr);
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_EQ(zip.Entries().Count(), 1);
}

TEST_F(Adding, CommentIsCarriedOverAsItsStoredBytes)
{
    addBytes("a.txt", "a");
    zip.SetComment(TStringList{"line one", "line two"});
    addBytes("b.txt", "b");
    EXPECT_EQ(zip.Comment().Lines(), (Lines{"line one", "line two"}));
    EXPECT_EQ(zip.EndRecord().CommentLength, 20);
    EXPECT_TRUE(test::StateMatchesFile(zip, path));

    // A comment stored by another tool, without a final line break and with a zero byte: its
    // bytes and CommentLength stay as they were.
    const std::string stored("no break\0tail", 13);
    std::string bytes = ReadFileBytes(path);
    bytes.resize(zip.EndRecordPos() + 20);
    bytes += std::string{static_cast<char>(stored.size()), 0} + stored;
    zip.CloseArchive();
    WriteFileBytes(path, bytes);
    zip.OpenArchiveFile(path);
    ASSERT_TRUE(zip.IsZipFile());
    addBytes("c.txt", "c");
    test::ParsedArchive parsed;
    ASSERT_TRUE(test::ParseArchive(ReadFileBytes(path), parsed));
    EXPECT_EQ(parsed.Comment, stored);
    EXPECT_EQ(zip.EndRecord().CommentLength, stored.size());
    EXPECT_TRUE(test::StateMatchesFile(zip, path));
    EXPECT_TRUE(test::UnzipTests(path));
}

TEST_F(Adding, CompressionProgressAndTheOrderOfEvents)
{
    EventLog log(zip);
    addBytes("small.bin", std::string(100000, 's'));  // far below 64 KiB of output
    EXPECT_EQ(log.Lines(), (Lines{"OnZipChange 2", "OnAddItem small.bin"}));

    log.Clear();
    addBytes("noise.bin", NoiseBytes(300000, 7));
    // Incompressible: about 300,000 bytes of output, four full buffers during the write.
    ASSERT_EQ(log.Lines().size(), 6u);
    std::int64_t last = 0;
    for (int i = 0; i < 4; ++i) {
        std::istringstream in(log.Lines()[static_cast<std::size_t>(i)]);
        std::string name;
        std::int64_t current = 0, total = 0;
        in >> name >> current >> total;
        EXPECT_EQ(name, "OnCompressFile");
        EXPECT_EQ(total, 300000);
        EXPECT_GE(current, last);
        EXPECT_LE(current, 300000);
        last = current;
    }
    EXPECT_EQ(log.Lines()[4], "OnZipChange 2");
    EXPECT_EQ(log.Lines()[5], "OnAddItem noise.bin");
}

TEST_F(Adding, ManyAddsKeepFileAndStateInAgreement)
{
    for (int i = 0; i < 12; ++i) {
        const std::string data = i % 3 == 0 ? std::string() : NoiseBytes(static_cast<std::size_t>(i) * 997, i);
        addBytes("file" + std::to_string(i) + ".bin", data);
        ASSERT_TRUE(test::StateMatchesFile(zip, path)) << "after add " << i;
    }
    EXPECT_TRUE(test::UnzipTests(path));
    EXPECT_EQ(test::PythonReads(path).size(), 12u);
    zip.CloseArchive();
    zip.OpenArchiveFile(path);
    EXPECT_EQ(zip.Entries().Count(), 12);
    EXPECT_FALSE(zip.HasDamagedEntries());
}

TEST_F(Adding, FailedGrowLeavesFileAndCollectionAsTheyWere)
{
    addBytes("a.txt", "a");
    const std::string before = ReadFileBytes(path);
    {
        tarnwick::fault::Scoped full({tarnwick::fault::Op::SetSize, ENOSPC, 0, "t.zip"});
        EXPECT_THROW_MSG(addBytes("b.txt", "b"), tarnwick::EInOutError, "Disque plein");
    }
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(names(), (Lines{"a.txt"}));
    EXPECT_TRUE(test::StateMatchesFile(zip, path));
    addBytes("b.txt", "b");
    EXPECT_TRUE(test::UnzipTests(path));
}

TEST_F(Adding, FailedWriteSurfacesInsideTheAdd)
{
    addBytes("a.txt", "a");
    tarnwick::fault::Scoped failing({tarnwick::fault::Op::Write, EIO, 0, "t.zip"});
    EXPECT_THROW(addBytes("b.txt", "b"), tarnwick::EInOutError);
}

TEST_F(Adding, RefusedAddsChangeNothing)
{
    addBytes("a.txt", "a");
    const std::string before = ReadFileBytes(path);
    EXPECT_THROW(addBytes(std::string(65536, 'n'), "x"), tarnwick::Exception);
    // A folder is found by the look-up but cannot be read as a file.
    EXPECT_THROW_MSG(zip.AddFileEntry(dir.path()), tarnwick::EFOpenError,
                     "Impossible d'ouvrir le fichier " + dir.path());
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(zip.Entries().Count(), 1);

    zip.CloseArchive();
    EXPECT_THROW_MSG(addBytes("b.txt", "b"), tarnwick::Exception, "No archive is open");
}

}  // namespace
}  // namespace orvzip
