// zip_test_util.cpp -- the archive parser, state checks, peers and event log of the zip tests.
#include "zip_test_util.h"

#include <cstdio>
#include <sstream>

#include "support/test_support.h"

namespace orvzip::test {
namespace {

using ::testing::AssertionFailure;
using ::testing::AssertionResult;
using ::testing::AssertionSuccess;

std::uint32_t le(const std::string& b, std::size_t at, int width)
{
    std::uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i)
        v = (v << 8) | static_cast<std::uint8_t>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

// Field-by-field reading of the file, written apart from the component's own decoder.
void parseCentral(const std::string& b, std::size_t at, TCentralDirectoryFile& c)
{
    c.Signature = le(b, at, 4);
    c.VersionMadeBy = static_cast<std::uint16_t>(le(b, at + 4, 2));
    c.VersionNeededToExtract = static_cast<std::uint16_t>(le(b, at + 6, 2));
    c.GeneralPurposeBitFlag = static_cast<std::uint16_t>(le(b, at + 8, 2));
    c.CompressionMethod = static_cast<std::uint16_t>(le(b, at + 10, 2));
    c.LastModFileTimeDate = le(b, at + 12, 4);
    c.Crc32 = le(b, at + 16, 4);
    c.CompressedSize = le(b, at + 20, 4);
    c.UncompressedSize = le(b, at + 24, 4);
    c.FileNameLength = static_cast<std::uint16_t>(le(b, at + 28, 2));
    c.ExtraFieldLength = static_cast<std::uint16_t>(le(b, at + 30, 2));
    c.FileCommentLength = static_cast<std::uint16_t>(le(b, at + 32, 2));
    c.DiskNumberStart = static_cast<std::uint16_t>(le(b, at + 34, 2));
    c.InternalFileAttributes = static_cast<std::uint16_t>(le(b, at + 36, 2));
    c.ExternalFileAttributes = le(b, at + 38, 4);
    c.RelativeOffsetOfLocalHeader = le(b, at + 42, 4);
}

void parseLocal(const std::string& b, std::size_t at, TLocalFile& l)
{
    l.Signature = le(b, at, 4);
    l.VersionNeededToExtract = static_cast<std::uint16_t>(le(b, at + 4, 2));
    l.GeneralPurposeBitFlag = static_cast<std::uint16_t>(le(b, at + 6, 2));
    l.CompressionMethod = static_cast<std::uint16_t>(le(b, at + 8, 2));
    l.LastModFileTimeDate = le(b, at + 10, 4);
    l.Crc32 = le(b, at + 14, 4);
    l.CompressedSize = le(b, at + 18, 4);
    l.UncompressedSize = le(b, at + 22, 4);
    l.FileNameLength = static_cast<std::uint16_t>(le(b, at + 26, 2));
    l.ExtraFieldLength = static_cast<std::uint16_t>(le(b, at + 28, 2));
}

bool sameCentral(const TCentralDirectoryFile& a, const TCentralDirectoryFile& b)
{
    return a.Encode() == b.Encode() && a.FileName == b.FileName && a.ExtraField == b.ExtraField &&
           a.FileComment == b.FileComment;
}

}  // namespace

AssertionResult ParseArchive(const std::string& bytes, ParsedArchive& out)
{
    out = ParsedArchive{};
    const std::size_t size = bytes.size();
    if (size < 22)
        return AssertionFailure() << "file of " << size << " bytes holds no end record";
    // The end record whose comment ends exactly at the end of the file.
    bool found = false;
    for (std::size_t p = size - 22 + 1; p-- > 0;) {
        if (le(bytes, p, 4) == kEndOfCentralDirSignature && p + 22 + le(bytes, p + 20, 2) == size) {
            out.EndRecordPos = static_cast<std::uint32_t>(p);
            found = true;
            break;
        }
        if (size - p > 22 + 65535)
            break;
    }
    if (!found)
        return AssertionFailure() << "no end record whose comment reaches the end of the file";
    const std::size_t e = out.EndRecordPos;
    TEndOfCentralDirectoryRecord& end = out.End;
    end.Signature = le(bytes, e, 4);
    end.NumberOfThisDisk = static_cast<std::uint16_t>(le(bytes, e + 4, 2));
    end.DiskWithCentralDirectoryStart = static_cast<std::uint16_t>(le(bytes, e + 6, 2));
    end.EntriesOnThisDisk = static_cast<std::uint16_t>(le(bytes, e + 8, 2));
    end.TotalEntries = static_cast<std::uint16_t>(le(bytes, e + 10, 2));
    end.CentralDirectorySize = le(bytes, e + 12, 4);
    end.CentralDirectoryOffset = le(bytes, e + 16, 4);
    end.CommentLength = static_cast<std::uint16_t>(le(bytes, e + 20, 2));
    out.CommentPos = static_cast<std::uint32_t>(e + 22);
    out.Comment = bytes.substr(e + 22);
    if (end.NumberOfThisDisk != 0 || end.DiskWithCentralDirectoryStart != 0)
        return AssertionFailure() << "disk numbers are not 0";
    if (end.EntriesOnThisDisk != end.TotalEntries)
        return AssertionFailure() << "entry counts differ: " << end.EntriesOnThisDisk << " and " << end.TotalEntries;
    if (std::uint64_t{end.CentralDirectoryOffset} + end.CentralDirectorySize != e)
        return AssertionFailure() << "central directory at " << end.CentralDirectoryOffset << " of "
                                  << end.CentralDirectorySize << " bytes does not end at the end record (" << e
                                  << ")";

    std::size_t p = end.CentralDirectoryOffset;
    for (int i = 0; i < end.EntriesOnThisDisk; ++i) {
        ParsedEntry entry;
        entry.CentralPos = static_cast<std::uint32_t>(p);
        if (p + 46 > e)
            return AssertionFailure() << "central header " << i << " runs into the end record";
        TCentralDirectoryFile& c = entry.Central;
        parseCentral(bytes, p, c);
        if (c.Signature != kCentralFileSignature)
            return AssertionFailure() << "central header " << i << " at " << p << " has no signature";
        p += 46;
        if (p + c.FileNameLength + c.ExtraFieldLength + c.FileCommentLength > e)
            return AssertionFailure() << "central header " << i << " strings run into the end record";
        c.FileName = bytes.substr(p, c.FileNameLength);
        p += c.FileNameLength;
        c.ExtraField = bytes.substr(p, c.ExtraFieldLength);
        p += c.ExtraFieldLength;
        c.FileComment = bytes.substr(p, c.FileCommentLength);
        p += c.FileCommentLength;

        const std::size_t l = c.RelativeOffsetOfLocalHeader;
        if (l + 30 > end.CentralDirectoryOffset)
            return AssertionFailure() << "entry " << i << " (" << c.FileName << "): local header offset " << l
                                      << " is not in front of the central directory";
        TLocalFile& local = entry.Local;
        parseLocal(bytes, l, local);
        if (local.Signature != kLocalFileSignature)
            return AssertionFailure() << "entry " << i << " (" << c.FileName << "): no local header at " << l;
        local.FileName = bytes.substr(l + 30, local.FileNameLength);
        local.ExtraField = bytes.substr(l + 30 + local.FileNameLength, local.ExtraFieldLength);
        if (local.FileName != c.FileName)
            return AssertionFailure() << "entry " << i << ": local name " << local.FileName << " differs from "
                                      << c.FileName;
        if (local.GeneralPurposeBitFlag != c.GeneralPurposeBitFlag || local.CompressionMethod != c.CompressionMethod)
            return AssertionFailure() << "entry " << i << " (" << c.FileName << "): flag or method differ";
        if ((c.GeneralPurposeBitFlag & 8) == 0 &&
            (local.Crc32 != c.Crc32 || local.CompressedSize != c.CompressedSize ||
             local.UncompressedSize != c.UncompressedSize))
            return AssertionFailure() << "entry " << i << " (" << c.FileName << "): CRC or sizes differ";
        entry.DataPos = static_cast<std::uint32_t>(l + 30 + local.FileNameLength + local.ExtraFieldLength);
        if (std::uint64_t{entry.DataPos} + c.CompressedSize > end.CentralDirectoryOffset)
            return AssertionFailure() << "entry " << i << " (" << c.FileName << "): data runs into the directory";
        out.Entries.push_back(std::move(entry));
    }
    if (p != e)
        return AssertionFailure() << "central directory holds " << (e - p) << " bytes beyond its headers";
    // Local entries must not overlap.
    for (std::size_t i = 0; i < out.Entries.size(); ++i)
        for (std::size_t j = 0; j < out.Entries.size(); ++j) {
            if (i == j)
                continue;
            const auto& a = out.Entries[i];
            const auto& b = out.Entries[j];
            const std::uint64_t aStart = a.Central.RelativeOffsetOfLocalHeader;
            const std::uint64_t aEnd = std::uint64_t{a.DataPos} + a.Central.CompressedSize;
            const std::uint64_t bStart = b.Central.RelativeOffsetOfLocalHeader;
            if (bStart >= aStart && bStart < aEnd)
                return AssertionFailure() << "local entries " << i << " and " << j << " overlap";
        }
    return AssertionSuccess();
}

AssertionResult VerifyArchive(const std::string& bytes)
{
    ParsedArchive parsed;
    return ParseArchive(bytes, parsed);
}

AssertionResult VerifyArchiveFile(const std::string& path)
{
    ParsedArchive parsed;
    AssertionResult r = ParseArchive(tarnwick::test::ReadFileBytes(path), parsed);
    if (!r)
        return AssertionFailure() << path << ": " << r.message();
    return r;
}

AssertionResult StateMatchesFile(TOrvZip& zip, const std::string& path)
{
    ParsedArchive parsed;
    AssertionResult r = ParseArchive(tarnwick::test::ReadFileBytes(path), parsed);
    if (!r)
        return AssertionFailure() << path << ": " << r.message();
    if (!(zip.EndRecord() == parsed.End))
        return AssertionFailure() << "EndRecord differs from the file's (entries " << zip.EndRecord().EntriesOnThisDisk
                                  << "/" << parsed.End.EntriesOnThisDisk << ", offset "
                                  << zip.EndRecord().CentralDirectoryOffset << "/" << parsed.End.CentralDirectoryOffset
                                  << ", size " << zip.EndRecord().CentralDirectorySize << "/"
                                  << parsed.End.CentralDirectorySize << ", comment " << zip.EndRecord().CommentLength
                                  << "/" << parsed.End.CommentLength << ")";
    if (zip.EndRecordPos() != parsed.EndRecordPos)
        return AssertionFailure() << "EndRecordPos " << zip.EndRecordPos() << ", file " << parsed.EndRecordPos;
    if (zip.CommentPos() != parsed.CommentPos)
        return AssertionFailure() << "CommentPos " << zip.CommentPos() << ", file " << parsed.CommentPos;
    TOrvZipEntries& entries = zip.Entries();
    if (entries.Count() != static_cast<int>(parsed.Entries.size()))
        return AssertionFailure() << "Count " << entries.Count() << ", file " << parsed.Entries.size();
    for (int i = 0; i < entries.Count(); ++i)
        if (!sameCentral(entries.Items(i).CentralRecord, parsed.Entries[static_cast<std::size_t>(i)].Central))
            return AssertionFailure() << "entry " << i << " (" << entries.Items(i).CentralRecord.FileName
                                      << "): central header differs from the file's";
    return AssertionSuccess();
}

AssertionResult UnzipTests(const std::string& path)
{
    const tarnwick::test::CommandResult r = tarnwick::test::RunCommand("unzip -t " + tarnwick::test::ShellQuote(path));
    if (r.exitCode != 0)
        return AssertionFailure() << "unzip -t " << path << " exited " << r.exitCode << ":\n" << r.output;
    return AssertionSuccess();
}

std::vector<PeerEntry> PythonReads(const std::string& path)
{
    const std::string script =
        "import sys, zipfile\n"
        "with zipfile.ZipFile(sys.argv[1]) as z:\n"
        "    for i in z.infolist():\n"
        "        d = z.read(i)\n"
        "        print(i.filename.encode('utf-8', 'surrogateescape').hex(), i.CRC, i.file_size, d.hex())\n";
    const tarnwick::test::CommandResult r = tarnwick::test::RunCommand(
        "python3 -c " + tarnwick::test::ShellQuote(script) + " " + tarnwick::test::ShellQuote(path));
    EXPECT_EQ(r.exitCode, 0) << "zipfile could not read " << path << ":\n" << r.output;
    std::vector<PeerEntry> entries;
    std::istringstream in(r.output);
    std::string nameHex, dataHex;
    PeerEntry e;
    while (in >> nameHex >> e.Crc >> e.Size) {
        // An entry without data prints nothing for it; take the rest of the line.
        std::string rest;
        std::getline(in, rest);
        dataHex = rest;
        e.Name = tarnwick::test::FromHex(nameHex);
        e.Data = tarnwick::test::FromHex(dataHex);
        entries.push_back(e);
    }
    return entries;
}

std::vector<std::string> UnzipNames(const std::string& path)
{
    const tarnwick::test::CommandResult r =
        tarnwick::test::RunCommand("unzip -Z1 " + tarnwick::test::ShellQuote(path) + " 2>/dev/null");
    std::vector<std::string> names;
    std::istringstream in(r.output);
    for (std::string line; std::getline(in, line);)
        names.push_back(line);
    return names;
}

std::string DriverPath() { return std::string(TARNWICK_BIN_DIR) + "/orvzip"; }

EventLog::EventLog(TOrvZip& zip)
{
    // A handler called with another Sender than the component shows up in the log.
    auto from = [&zip](TComponent* sender) { return sender == &zip ? "" : " (wrong sender)"; };
    auto counted = [this, from](const char* name) {
        return [this, from, name](TComponent* sender, std::int32_t current, std::int32_t total) {
            lines_.push_back(std::string(name) + " " + std::to_string(current) + " " + std::to_string(total) +
                             from(sender));
        };
    };
    zip.OnCompressFile = counted("OnCompressFile");
    zip.OnZipOpen = counted("OnZipOpen");
    zip.OnRebuildZip = counted("OnRebuildZip");
    zip.OnRemoveItems = counted("OnRemoveItems");
    zip.OnZipChange = [this, from](TComponent* sender, std::int32_t type) {
        lines_.push_back("OnZipChange " + std::to_string(type) + from(sender));
    };
    zip.OnAddItem = [this, from](TComponent* sender, const std::string& name) {
        lines_.push_back("OnAddItem " + name + from(sender));
    };
}

}  // namespace orvzip::test
