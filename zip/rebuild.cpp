// rebuild.cpp -- rebuilding the archive through a scratch stream (RebuildAll).
#include "zip/OrvZip.h"

namespace orvzip {
namespace {
[[noreturn]] void notSupportedYet(const char* what)
{
    throw tarnwick::Exception(std::string(what) + ": not supported yet");
}
}  // namespace

std::string TOrvZip::MakeTempFileName() { notSupportedYet("MakeTempFileName"); }
void TOrvZip::WriteRebuiltLocalHeaders(TStream&) { notSupportedYet("WriteRebuiltLocalHeaders"); }
void TOrvZip::WriteRebuiltCentralDirectory(TStream&) { notSupportedYet("WriteRebuiltCentralDirectory"); }
void TOrvZip::WriteRebuiltEndRecord(TStream&) { notSupportedYet("WriteRebuiltEndRecord"); }
void TOrvZip::WriteRebuiltArchive(TStream&) { notSupportedYet("WriteRebuiltArchive"); }
void TOrvZip::ReplaceArchiveContent(TStream&) { notSupportedYet("ReplaceArchiveContent"); }
TOrvZipEntriesEntry* TOrvZipEntries::AddEntryRebuild(const std::string&, std::uint16_t, TStream&, const TDateTime&)
{
    notSupportedYet("Adding with RebuildAll");
}

}  // namespace orvzip
