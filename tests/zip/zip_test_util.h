// zip_test_util.h -- helpers of the archive component's tests: an archive parser of its own,
// checks of the component's live state against the file, the peer tools, and an event log.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "zip/OrvZip.h"

namespace orvzip::test {

// One entry as the file holds it.
struct ParsedEntry {
    TCentralDirectoryFile Central;  // header and its variable parts
    std::uint32_t CentralPos = 0;
    TLocalFile Local;               // header, name and extra field at the central header's offset
    std::uint32_t DataPos = 0;      // first data byte behind the local header
};

struct ParsedArchive {
    TEndOfCentralDirectoryRecord End;
    std::uint32_t EndRecordPos = 0;
    std::uint32_t CommentPos = 0;
    std::string Comment;  // the CommentLength bytes behind the end record
    std::vector<ParsedEntry> Entries;
};

// Parses an archive without the component and checks its structure: the end record's comment
// reaches exactly to the end of the file; the central directory lies where the end record says,
// holds its count of headers and ends at the end record; every central header points at a
// local header of the same name, flag, method, CRC and sizes; the local entries do not overlap
// each other or the central directory.
::testing::AssertionResult ParseArchive(const std::string& bytes, ParsedArchive& out);
::testing::AssertionResult VerifyArchive(const std::string& bytes);
::testing::AssertionResult VerifyArchiveFile(const std::string& path);

// The component's EndRecord, EndRecordPos, CommentPos and every entry's central header (fixed
// fields and strings) agree with the archive file at path.
::testing::AssertionResult StateMatchesFile(TOrvZip& zip, const std::string& path);

// Peers. unzip -t on the archive (exit status 0 means every entry tested fine).
::testing::AssertionResult UnzipTests(const std::string& path);

struct PeerEntry {
    std::string Name;
    std::uint32_t Crc = 0;
    std::uint64_t Size = 0;
    std::string Data;
};
// The entries as Python's zipfile reads them, data included (its CRC check runs on the read).
std::vector<PeerEntry> PythonReads(const std::string& path);
// The names of unzip -Z1, one a line, in archive order.
std::vector<std::string> UnzipNames(const std::string& path);

// The orvzip driver of this build.
std::string DriverPath();

// Records every event of a component as one line each, the format of the driver's --events.
class EventLog {
public:
    explicit EventLog(TOrvZip& zip);
    const std::vector<std::string>& Lines() const { return lines_; }
    void Clear() { lines_.clear(); }

private:
    std::vector<std::string> lines_;
};

}  // namespace orvzip::test
