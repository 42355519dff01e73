// fuzz_open.cpp -- opens untrusted bytes as an archive from memory and reads its directory,
// its entry names and its comment.
//
// Opening never raises, whatever the bytes: a damaged archive reads as no archive or as one
// with damaged entries. Every entry the directory yields must be one the bytes can describe.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "fuzz/fuzz_common.h"
#include "runtime/stream.h"
#include "zip/OrvZip.h"

using namespace tarnwick;
using tarnwick::fuzz::Expect;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    orvzip::TOrvZip zip(nullptr);
    std::int32_t events = 0;
    zip.OnZipOpen = [&](TComponent*, std::int32_t current, std::int32_t total) {
        Expect(current >= 0 && current < total, "OnZipOpen outside 0 .. Total - 1");
        ++events;
    };

    auto stream = std::make_unique<TMemoryStream>();
    stream->WriteBuffer(data, static_cast<std::int64_t>(size));
    stream->SetPosition(0);
    zip.OpenArchiveStream(std::move(stream));  // an exception escaping here is a finding

    orvzip::TOrvZipEntries& entries = zip.Entries();
    if (!zip.IsZipFile()) {
        Expect(entries.Count() == 0, "no archive, but entries kept");
        Expect(zip.ArchiveStream() == nullptr, "no archive, but the stream kept open");
        Expect(zip.FileNames().Count() == 0, "no archive, but names listed");
        Expect(zip.Comment().Count() == 0, "no archive, but a comment read");
        return 0;
    }

    // Each entry comes from a 30-byte local or 46-byte central header in the bytes; only the last
    // may be cut short by the end of the stream.
    Expect(static_cast<std::size_t>(entries.Count()) <= size / 30 + 1, "more entries than the bytes can hold");
    Expect(events <= 2 * entries.Count(), "OnZipOpen raised more than twice per entry");
    for (int i = 0; i < entries.Count(); ++i) {
        const orvzip::TOrvZipEntriesEntry& entry = entries.Items(i);
        const orvzip::TCentralDirectoryFile& central = entry.CentralRecord;
        // Names, extra fields and comments are cut to what the stream held.
        Expect(central.FileName.size() <= central.FileNameLength, "name longer than its length field");
        Expect(central.ExtraField.size() <= central.ExtraFieldLength, "extra field longer than its length");
        Expect(central.FileComment.size() <= central.FileCommentLength, "file comment longer than its length");
        Expect(central.FileName.size() + central.ExtraField.size() + central.FileComment.size() <= size,
               "an entry holds more bytes than the archive");
        Expect(entry.LocalRecord.CompressedData.empty(), "entry data loaded while opening");
        (void)entry.LocalEntrySize();
        (void)entry.CentralEntrySize();
    }

    const TStringList& names = zip.FileNames();
    Expect(names.Count() == entries.Count(), "one name per entry");
    const TStringList& comment = zip.Comment();
    std::size_t commentBytes = 0;
    for (int i = 0; i < comment.Count(); ++i)
        commentBytes += comment[i].size();
    Expect(commentBytes <= zip.EndRecord().CommentLength, "comment longer than CommentLength");
    // Reading the comment twice gives the same lines: it goes to the archive each time.
    const std::string text = comment.Text();
    Expect(zip.Comment().Text() == text, "comment read twice differs");

    zip.CloseArchive();
    Expect(entries.Count() == 0 && zip.ArchiveStream() == nullptr, "closing keeps entries or the stream");
    return 0;
}
