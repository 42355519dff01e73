// rebuild_internal.h -- pieces shared by the rebuild writer, the rebuilding add and the removal
// (internal to the component).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "runtime/errors.h"
#include "runtime/stream.h"
#include "zip/records.h"

namespace orvzip {
class TOrvZip;
}

namespace orvzip::detail {

// The scratch stream of one rebuild: a memory stream, or a temporary file that is deleted when
// the guard goes, whatever happened, unless Keep() was called. The file's name comes from
// MakeTempFileName; when that gives no temporary file, opening fails with the platform's
// create error and nothing is left behind.
class ScratchStream {
public:
    ScratchStream(TOrvZip& zip, bool useTempFiles);
    ~ScratchStream();
    ScratchStream(const ScratchStream&) = delete;
    ScratchStream& operator=(const ScratchStream&) = delete;

    tarnwick::TStream& Stream() { return *stream_; }
    tarnwick::TMemoryStream* Memory() { return memory_; }
    const std::string& Path() const { return path_; }
    // Leaves the scratch file on disk (it holds the only complete copy of the archive).
    void Keep() { keep_ = true; }

private:
    std::unique_ptr<tarnwick::TStream> stream_;
    tarnwick::TMemoryStream* memory_ = nullptr;
    std::string path_;  // the scratch file that this guard deletes; empty for memory
    bool keep_ = false;
};

// Raised when the archive was resized but could not be overwritten with its new content, even
// after a second attempt: the archive file is damaged, and the complete new content is kept in
// KeptPath() (empty if even that could not be saved).
class EArchiveDamaged : public tarnwick::Exception {
public:
    EArchiveDamaged(const std::string& message, std::string keptPath)
        : tarnwick::Exception(message), keptPath_(std::move(keptPath))
    {
    }
    const std::string& KeptPath() const { return keptPath_; }

private:
    std::string keptPath_;
};

// A rebuild drops the data-descriptor flag (bit 3) of an entry whose descriptor it does not
// copy, so that both headers carry the real CRC and sizes and agree. An encrypted entry (bit 0)
// keeps the flag: its password check depends on it, and its descriptor is copied too.
inline std::uint16_t RebuiltFlag(std::uint16_t flag, bool encrypted)
{
    return encrypted ? flag : static_cast<std::uint16_t>(flag & ~0x0008u);
}

// The size of the archive that a rebuild writes, as the measuring pass counts it (raising
// OnRemoveItems once per entry): every entry's LocalEntrySize and CentralEntrySize, the end
// record and the comment.
std::int64_t MeasureRebuiltArchive(TOrvZip& zip);

// Reserves room for a measured rebuild in a memory scratch stream, no more than the archive
// itself holds (the measure trusts the central headers' sizes, which a damaged archive may
// overstate), and positions it at 0.
void ReserveScratch(tarnwick::TMemoryStream& scratch, std::int64_t measured, std::int64_t archiveSize);

// Brings the live end record, its positions and every entry's local header offset (and the
// flags that the rebuild changed) in line with the archive that the rebuild stages just wrote.
void AdoptRebuiltState(TOrvZip& zip, TEndOfCentralDirectoryRecord& endRecord, std::uint32_t& endRecordPos,
                       std::uint32_t& commentPos);

// The archive's file name, for messages.
std::string ArchiveName(TOrvZip& zip);

// Positions and sizes in the records are 32 bits wide: raises when a rebuild would go past that.
void CheckArchiveOffset(std::int64_t position);

inline constexpr int kMaxEntries = 65535;

}  // namespace orvzip::detail
