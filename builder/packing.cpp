// packing.cpp -- the packing passes and the archive of one file.
#include "builder/packing.h"

#include <limits>

#include "builder/build_paths.h"
#include "builder/crc.h"
#include "builder/update_list.h"
#include "runtime/checked.h"
#include "runtime/filesystem.h"
#include "zip/OrvZip.h"

namespace tarnwick {
namespace {

void advanceProgress(IBuildView& view) { view.SetProgressPosition(CheckedAdd(view.ProgressPosition(), 1)); }

}  // namespace

void MakeArchive(orvzip::TOrvZip& zip, const std::string& zipPath, const std::string& sourcePath)
{
    try {
        zip.CreateArchiveFile(zipPath);
        zip.OpenArchiveFile(zipPath);
        if (zip.AddFileEntry(sourcePath) == nullptr)
            throw EInOutError(errcode::kFileNotFound);  // gone since its CRC was taken
        zip.CloseArchive();
    } catch (...) {
        // No archive stays open after a failed build.
        try {
            zip.CloseArchive();
        } catch (...) {
        }
        throw;
    }
}

std::int32_t ProbeFileSize(const std::string& path)
{
    const auto entry = FindPath(path);
    if (!entry || entry->IsFolder())
        return -1;
    // Every size from 2 GiB on is refused, not only those whose low 32 bits read as negative.
    if (entry->Size > std::numeric_limits<std::int32_t>::max())
        throw ERangeError();
    return static_cast<std::int32_t>(entry->Size);
}

void PackUpdater(IBuildView& view, orvzip::TOrvZip& zip, const std::string& updaterPath,
                 const std::string& uploadFolder, const std::string& listName)
{
    view.KeepAlive(updaterPath);
    const std::uint32_t crc = FileCrc32(updaterPath);
    const std::string name = ExtractFileName(updaterPath);
    const std::string zipPath = IncludeTrailingSeparator(uploadFolder) + name + ".zip";
    MakeArchive(zip, zipPath, updaterPath);
    const std::int32_t size = ProbeFileSize(zipPath);
    AppendToUpdateList(IncludeTrailingSeparator(uploadFolder) + listName, {IamLine(name, crc, size)});
    advanceProgress(view);
}

void PackFolder(TBuildState& state, IBuildView& view, orvzip::TOrvZip& zip, const std::string& folder,
                const std::string& root, const std::string& target, const std::string& flag)
{
    const std::string prefix = IncludeTrailingSeparator(folder);
    const auto entries = ListFolder(prefix);
    if (!entries)
        return;
    const std::string listPath = IncludeTrailingSeparator(target) + kUpdateListName;
    for (const TSearchRec& entry : *entries) {
        const std::string source = prefix + entry.Name;
        view.KeepAlive(source);
        if (entry.IsFolder()) {
            if (SameFile(source, target))
                continue;  // the Upload folder being written
            CheckWindowsName(source, entry.Name);  // met here only if it came after the mirror pass
            PackFolder(state, view, zip, source, root, target, flag);
            continue;
        }
        if (entry.Name == state.UpdaterName)
            continue;
        CheckWindowsName(source, entry.Name);
        const std::string zipPath = MirrorPath(source, root) + ".zip";
        const std::uint32_t crc = FileCrc32(source);
        MakeArchive(zip, zipPath, source);
        const std::int32_t size = ProbeFileSize(zipPath);
        AppendToUpdateList(listPath, {FileLine(state.LineIndex, ListPath(PathBelow(source, root)), crc, size, flag)});
        advanceProgress(view);
        CheckedIncrement(state.LineIndex);
    }
}

}  // namespace tarnwick
