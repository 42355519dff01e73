// fuzz_modify.cpp -- opens untrusted bytes from memory, then removes an entry, adds one and
// writes the comment, under either save method and with memory or temporary-file scratch.
//
// The first four bytes of the input choose what is done; the rest is the archive.
//   byte 0: bit 0 RebuildAll, bit 1 UseTempFiles, bit 2 remove, bit 3 add, bit 4 write the
//           comment, bit 5 StoreRelativePath, bit 6 StoreFolders, bit 7 add under an existing name
//   byte 1: the entry to remove, modulo the count
//   byte 2: compression type (low 3 bits), size of the added data (high 5 bits)
//   byte 3: the added name (low 3 bits), the comment (high 5 bits)
//
// What must hold: an operation that fails leaves the archive's bytes as they were (a memory
// stream cannot fail, so only the archive's own content can make it fail, before anything is
// written); one that succeeds leaves bytes that read back, by a fresh component, as the entries
// the component holds, with the added entry's data intact; the component's end record lies where
// the bytes have it; no scratch file and no descriptor is left behind.
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/archive_check.h"
#include "fuzz/fuzz_common.h"
#include "runtime/stream.h"
#include "zip/OrvZip.h"

using namespace tarnwick;
using tarnwick::fuzz::Expect;
using tarnwick::fuzz::Finding;

namespace {

// A scratch folder of our own as TMPDIR, so that a scratch file left behind shows.
const std::string& ScratchFolder()
{
    static const std::string folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/orvfuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr)
            Finding("cannot make a scratch folder");
        setenv("TMPDIR", pattern.c_str(), 1);
        static const std::string removeAtExit = pattern;
        std::atexit([] { rmdir(removeAtExit.c_str()); });
        return pattern;
    }();
    return folder;
}

const char* const kNames[8] = {
    "new.txt", "dir/sub/new.txt", "C:\\data\\new.bin", "\\\\server\\share\\dir\\n.txt",
    "", "with space .txt", "folder/", "a/b/c/d/e/f/g/h.dat",
};

TStringList commentFor(std::uint8_t selector)
{
    switch (selector % 6) {
    case 0: return {};
    case 1: return {"abc"};
    case 2: return {"first line", "", "third"};
    case 3: return {std::string(300, 'c')};
    case 4: return {std::string("PK\x05\x06 inside")};
    default: return {std::string(selector, 'x')};
    }
}

std::string& BytesOf(orvzip::TOrvZip& zip)
{
    auto* memory = dynamic_cast<TMemoryStream*>(zip.ArchiveStream());
    if (memory == nullptr)
        Finding("the archive stream is no longer the memory stream it was opened with");
    return memory->Bytes();
}

// Entry names padded as the writers put them out: a name cut short by the end of the stream
// is written with zeros up to its length field.
std::vector<std::string> StoredNames(orvzip::TOrvZip& zip)
{
    std::vector<std::string> names;
    for (int i = 0; i < zip.Entries().Count(); ++i) {
        const orvzip::TCentralDirectoryFile& c = zip.Entries().Items(i).CentralRecord;
        std::string name = c.FileName;
        name.resize(c.FileNameLength, '\0');
        names.push_back(name);
    }
    return names;
}

std::string Joined(const std::vector<std::string>& names)
{
    std::string out = "[";
    for (const std::string& n : names) {
        out += out.size() > 1 ? ", \"" : "\"";
        for (const char c : n.substr(0, 48)) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
            out += c >= 0x20 && c < 0x7F ? std::string(1, c) : std::string(hex);
        }
        out += n.size() > 48 ? "...\" (" + std::to_string(n.size()) + " bytes)" : "\"";
    }
    return out + "]";
}

// With FUZZ_TRACE set, what each step left: for reproducing a finding by hand.
void Trace(const char* step, orvzip::TOrvZip& zip)
{
    static const bool on = std::getenv("FUZZ_TRACE") != nullptr;
    if (!on || zip.ArchiveStream() == nullptr)
        return;
    std::fprintf(stderr, "%s: size %lld, end record at %u, directory at %u, comment %u, %s\n", step,
                 static_cast<long long>(zip.ArchiveStream()->Size()), zip.EndRecordPos(),
                 zip.EndRecord().CentralDirectoryOffset, zip.EndRecord().CommentLength,
                 Joined(StoredNames(zip)).c_str());
}

// The bytes read back by a fresh component give the entries that zip holds.
// When added is set, the last entry is the one just added, with addedData as its data.
void ExpectReadsBack(orvzip::TOrvZip& zip, bool added = false, const std::string& addedData = {})
{
    const std::string bytes = BytesOf(zip);
    const std::int64_t endPos = fuzz::ReachableEndRecord(bytes);
    if (endPos < 0 || endPos != static_cast<std::int64_t>(zip.EndRecordPos()))
        return;  // a comment holding the signature, or beyond the search's reach: ambiguous bytes
    // A directory that runs into the end record (a hostile one left in place by a comment
    // write) reads back with the new end record's bytes in it.
    std::int64_t directoryEnd = zip.EndRecord().CentralDirectoryOffset;
    for (int i = 0; i < zip.Entries().Count(); ++i)
        directoryEnd += zip.Entries().Items(i).CentralEntrySize();
    if (directoryEnd > endPos)
        return;
    Expect(bytes.size() == static_cast<std::size_t>(endPos) + 22 + zip.EndRecord().CommentLength,
           "the comment does not reach exactly to the end of the archive");

    orvzip::TOrvZip fresh(nullptr);
    auto copy = std::make_unique<TMemoryStream>();
    copy->WriteBuffer(bytes);
    fresh.OpenArchiveStream(std::move(copy));
    Expect(fresh.IsZipFile(), "the written archive does not read back as an archive");
    if (StoredNames(fresh) != StoredNames(zip))
        Finding("the written archive reads back with other entries: " + Joined(StoredNames(fresh)) +
                " instead of " + Joined(StoredNames(zip)));
    Expect(fresh.EndRecord() == zip.EndRecord(), "the written end record differs from the component's");

    if (!added)
        return;
    // The added entry is the last; its data inflates to what was added.
    orvzip::TOrvZipEntries& entries = fresh.Entries();
    const orvzip::TCentralDirectoryFile& central = entries.Items(entries.Count() - 1).CentralRecord;
    orvzip::TLocalFile local;
    entries.ReadLocalHeader(*fresh.ArchiveStream(), static_cast<std::int32_t>(central.RelativeOffsetOfLocalHeader),
                            local, false);
    Expect(local.Signature == orvzip::kLocalFileSignature, "the added entry has no local header");
    Expect(local.Crc32 == orvzip::TOrvZipEntries::DataCrc32(addedData), "the added entry's CRC is wrong");
    Expect(local.UncompressedSize == addedData.size(), "the added entry's size is wrong");
    if (local.CompressionMethod == 8) {
        std::string inflated;
        Expect(fuzz::Inflate(local.CompressedData, inflated, addedData.size()), "the added data does not inflate");
        Expect(inflated == addedData, "the added data inflates to other bytes");
    } else {
        Expect(addedData.empty() && local.CompressedSize == 0, "stored data where deflated data was expected");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    const std::uint8_t flags = data[0], removeAt = data[1], compression = data[2], select = data[3];
    const bool useTempFiles = (flags & 2) != 0;
    const std::string& scratch = ScratchFolder();
    const int descriptorsBefore = useTempFiles ? fuzz::OpenDescriptors() : 0;

    {
        orvzip::TOrvZip zip(nullptr);
        zip.SetSaveMethod((flags & 1) != 0 ? orvzip::TZipSaveMethod::RebuildAll : orvzip::TZipSaveMethod::FastSave);
        zip.SetUseTempFiles(useTempFiles);
        zip.SetStoreRelativePath((flags & 32) != 0);
        zip.SetStoreFolders((flags & 64) != 0);
        zip.SetCompressionType(static_cast<orvzip::TZipCompressionType>((compression & 7) % 6));

        auto stream = std::make_unique<TMemoryStream>();
        stream->WriteBuffer(data + 4, static_cast<std::int64_t>(size - 4));
        zip.OpenArchiveStream(std::move(stream));
        if (!zip.IsZipFile())
            return 0;
        Trace("opened", zip);

        // Remove one entry.
        if ((flags & 4) != 0 && zip.Entries().Count() > 0) {
            const std::string before = BytesOf(zip);
            const std::vector<std::string> namesBefore = StoredNames(zip);
            const int index = removeAt % zip.Entries().Count();
            try {
                zip.Entries().RemoveEntry(index);
                Trace("removed", zip);
                ExpectReadsBack(zip);
            } catch (const std::exception&) {
                Expect(BytesOf(zip) == before, "a failed removal changed the archive");
                Expect(StoredNames(zip) == namesBefore, "a failed removal changed the entries");
            }
        }

        // Add one entry.
        if ((flags & 8) != 0) {
            std::string name = kNames[select & 7];
            if ((flags & 128) != 0 && zip.Entries().Count() > 0) {
                name = zip.Entries().Items(removeAt % zip.Entries().Count()).CentralRecord.FileName;
                // With folder entries, every folder of the name is an add that rewrites the whole
                // directory: a name of thousands of levels costs minutes, by design, not by fault.
                if (name.size() > 512)
                    zip.SetStoreFolders(false);
            }
            std::string added;
            for (int i = 0; i < (compression >> 3) * 37; ++i)
                added += static_cast<char>('a' + (i * 7 + i / 13) % 26);
            TMemoryStream source;
            source.WriteBuffer(added);
            source.SetPosition(0);
            const std::string before = BytesOf(zip);
            const bool replaces = zip.Entries().IndexOfName(name) != -1;
            // Folder entries are adds of their own, made before the entry itself.
            const bool addsFolders = zip.StoreFolders() && zip.StoreRelativePath() &&
                                     orvzip::ToDosName(name).find_first_of("\\:") != std::string::npos;
            try {
                zip.Entries().AddStreamEntry(name, 0x20, source, TDateTime{2024, 2, 29, 12, 30, 44, 0});
                Trace("added", zip);
                ExpectReadsBack(zip, true, added);
            } catch (const std::exception& e) {
                Trace(e.what(), zip);
                // The replaced entry or folder entries may have gone in before the add failed;
                // then the component must still describe the bytes. Otherwise nothing changes.
                if (!replaces && !addsFolders)
                    Expect(BytesOf(zip) == before, "a failed add changed the archive");
                else if (BytesOf(zip) != before)
                    ExpectReadsBack(zip);
            }
        }

        // Write the comment.
        if ((flags & 16) != 0) {
            const TStringList lines = commentFor(select >> 3);
            const std::string before = BytesOf(zip);
            try {
                zip.SetComment(lines);
                Trace("comment written", zip);
                // Lines equal to those held leave the archive untouched, trailing bytes and all.
                if (BytesOf(zip) != before) {
                    ExpectReadsBack(zip);
                    if (fuzz::ReachableEndRecord(BytesOf(zip)) == static_cast<std::int64_t>(zip.EndRecordPos()))
                        Expect(zip.Comment().Text() == lines.Text(), "the comment reads back otherwise");
                }
            } catch (const std::exception&) {
                Expect(BytesOf(zip) == before, "a failed comment write changed the archive");
            }
        }
        (void)zip.FileNames();
    }

    if (useTempFiles) {
        Expect(fuzz::FilesIn(scratch) == 0, "a scratch file was left behind");
        Expect(fuzz::OpenDescriptors() == descriptorsBefore, "a descriptor was left open");
    }
    return 0;
}
