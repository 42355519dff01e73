// rebuild_test_helpers.h -- what the rebuild and removal suites share: building archives with
// the component, one check of an archive file against the component's live state, expected
// contents and the peers (unzip, Python's zipfile, with a password where needed), and a private
// TMPDIR.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/filesystem.h"
#include "runtime/stream.h"
#include "support/test_support.h"
#include "zip/OrvZip.h"
#include "zip_test_util.h"

namespace orvzip::test::rebuild {

using tarnwick::test::ReadFileBytes;
using tarnwick::test::RunCommand;
using tarnwick::test::ShellQuote;
using tarnwick::test::NoiseBytes;

struct Content {
    std::string Name;
    std::string Data;
};

inline std::uint16_t u16At(const std::string& b, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b.at(at)) |
                                      static_cast<std::uint8_t>(b.at(at + 1)) << 8);
}

inline std::uint32_t u32At(const std::string& b, std::size_t at)
{
    return static_cast<std::uint32_t>(u16At(b, at)) | static_cast<std::uint32_t>(u16At(b, at + 2)) << 16;
}

inline void putU16(std::string& b, std::size_t at, std::uint16_t v)
{
    b.at(at) = static_cast<char>(v & 0xFF);
    b.at(at + 1) = static_cast<char>(v >> 8);
}

// Compressible text; NoiseBytes gives bytes that deflate cannot shrink.
inline std::string textData(int lines)
{
    std::string s;
    for (int i = 0; i < lines; ++i)
        s += "line " + std::to_string(i) + " of some text that compresses well\n";
    return s;
}

inline const tarnwick::TDateTime kDate{2024, 5, 6, 7, 8, 10, 0};

// Adds data under name through AddStreamEntry, as the component's callers do.
inline TOrvZipEntriesEntry* addData(TOrvZip& zip, const std::string& name, const std::string& data)
{
    tarnwick::TMemoryStream source;
    source.WriteBuffer(data);
    source.SetPosition(0);
    return zip.Entries().AddStreamEntry(name, 0x20, source, kDate);
}

// A new archive at path holding the contents, written by the component (FastSave), with the
// comment lines when given; left open in zip.
// Names, offsets and end record of the collection, to compare before and after.
inline std::string describe(TOrvZip& zip)
{
    std::string s;
    for (int i = 0; i < zip.Entries().Count(); ++i) {
        const auto& c = zip.Entries().Items(i).CentralRecord;
        s += c.FileName + "@" + std::to_string(c.RelativeOffsetOfLocalHeader) + " ";
    }
    const auto& e = zip.EndRecord();
    return s + "end " + std::to_string(zip.EndRecordPos()) + " " + std::to_string(e.EntriesOnThisDisk) + " " +
           std::to_string(e.CentralDirectoryOffset) + " " + std::to_string(e.CentralDirectorySize);
}

inline void buildArchive(TOrvZip& zip, const std::string& path, const std::vector<Content>& contents,
                         const std::vector<std::string>& commentLines = {})
{
    zip.SetStoreFolders(false);
    zip.CreateArchiveFile(path);
    zip.OpenArchiveFile(path);
    ASSERT_TRUE(zip.IsZipFile());
    const TZipSaveMethod method = zip.SaveMethod();
    zip.SetSaveMethod(TZipSaveMethod::FastSave);
    for (const Content& c : contents)
        addData(zip, c.Name, c.Data);
    if (!commentLines.empty()) {
        tarnwick::TStringList lines;
        for (const auto& l : commentLines)
            lines.Add(l);
        zip.SetComment(lines);
    }
    zip.SetSaveMethod(method);
}

// Reads every entry with Python's zipfile (which also checks each CRC): "name\thex" per line.
// With only given, just those entries are read.
inline std::map<std::string, std::string> readWithZipfile(const std::string& path, std::vector<std::string>* order,
                                                          const std::string& password = "",
                                                          const std::vector<std::string>& only = {})
{
    const std::string script =
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "if sys.argv[2]: z.setpassword(sys.argv[2].encode())\n"
        "for i in z.infolist():\n"
        "    if len(sys.argv) == 3 or i.filename in sys.argv[3:]:\n"
        "        print(i.filename + '\\t' + z.read(i).hex())\n";
    std::string cmd = "python3 -c " + ShellQuote(script) + " " + ShellQuote(path) + " " + ShellQuote(password);
    for (const std::string& name : only)
        cmd += " " + ShellQuote(name);
    const auto result = RunCommand(cmd);
    EXPECT_EQ(result.exitCode, 0) << result.output;
    std::map<std::string, std::string> out;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);) {
        const auto tab = line.find('\t');
        if (tab == std::string::npos)
            continue;
        const std::string name = line.substr(0, tab);
        if (order != nullptr)
            order->push_back(name);
        out[name] = tarnwick::test::FromHex(line.substr(tab + 1));
    }
    return out;
}

inline void expectUnzipTestPasses(const std::string& path, const std::string& password = "")
{
    const std::string pw = password.empty() ? "" : " -P " + ShellQuote(password);
    const auto result = RunCommand("unzip" + pw + " -tq " + ShellQuote(path));
    EXPECT_EQ(result.exitCode, 0) << result.output;
}

// The archive file at path, checked against what zip holds in memory and against the expected
// contents (in directory order) and stored comment: the file's structure and the component's
// live state agree (ParseArchive, StateMatchesFile), the comment behind the end record is
// exactly the expected bytes, unzip -t passes, Python's zipfile reads back every content, and a
// second component opening the file sees the same end record, positions and offsets.
inline void expectArchive(TOrvZip& zip, const std::string& path, const std::vector<Content>& expected,
                          const std::string& comment, const std::string& password = "")
{
    SCOPED_TRACE("archive " + path);
    EXPECT_TRUE(StateMatchesFile(zip, path));
    ParsedArchive parsed;
    ASSERT_TRUE(ParseArchive(ReadFileBytes(path), parsed));
    EXPECT_EQ(parsed.Comment, comment);
    EXPECT_EQ(zip.EndRecord().CommentLength, comment.size());

    std::vector<std::string> names, fileNames;
    for (const Content& c : expected)
        names.push_back(c.Name);
    for (const ParsedEntry& e : parsed.Entries)
        fileNames.push_back(e.Central.FileName);
    EXPECT_EQ(fileNames, names);

    std::vector<std::string> order;
    const auto read = readWithZipfile(path, &order, password);
    EXPECT_EQ(order, names);
    for (const Content& c : expected) {
        EXPECT_EQ(read.count(c.Name), 1u) << c.Name;
        if (read.count(c.Name) != 0)
            EXPECT_EQ(read.at(c.Name), c.Data) << c.Name;
    }
    if (!expected.empty())
        expectUnzipTestPasses(path, password);

    TOrvZip again(nullptr);
    again.OpenArchiveFile(path);
    ASSERT_TRUE(again.IsZipFile());
    EXPECT_FALSE(again.HasDamagedEntries());
    EXPECT_TRUE(again.EndRecord() == zip.EndRecord());
    EXPECT_EQ(again.EndRecordPos(), zip.EndRecordPos());
    EXPECT_EQ(again.CommentPos(), zip.CommentPos());
    ASSERT_EQ(again.Entries().Count(), zip.Entries().Count());
    for (int i = 0; i < again.Entries().Count(); ++i)
        EXPECT_EQ(again.Entries().Items(i).CentralRecord.RelativeOffsetOfLocalHeader,
                  zip.Entries().Items(i).CentralRecord.RelativeOffsetOfLocalHeader);
}

// Points TMPDIR at a folder of the test for its lifetime, so that scratch files can be counted.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& path) : path_(path)
    {
        tarnwick::ForceDirectories(path_);
        if (const char* old = std::getenv("TMPDIR"))
            old_ = old;
        ::setenv("TMPDIR", path_.c_str(), 1);
    }
    ~ScratchFolder()
    {
        if (old_)
            ::setenv("TMPDIR", old_->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    std::vector<std::string> Files() const
    {
        std::vector<std::string> names;
        if (auto list = tarnwick::ListFolder(path_))
            for (const auto& rec : *list)
                names.push_back(rec.Name);
        return names;
    }

private:
    std::string path_;
    std::optional<std::string> old_;
};

}  // namespace orvzip::test::rebuild
