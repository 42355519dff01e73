// mirror.cpp -- the mirror pass of a build: count the files, find the updater, mirror folders.
#include "builder/build_command.h"
#include "builder/build_paths.h"
#include "runtime/checked.h"
#include "runtime/filesystem.h"

namespace tarnwick {

void CheckWindowsName(const std::string& path, const std::string& name)
{
    const std::string fault = WindowsNameFault(name);
    if (!fault.empty())
        throw EBuildError("\"" + Printable(path) + "\" cannot be packed: " + fault + ".");
}

void CheckPathLength(const std::string& path, const std::string& root, bool folder)
{
    const std::size_t limit = MaxPathLength();
    const std::string packed = MirrorPath(path, root) + (folder ? "" : ".zip");
    if (path.size() > limit || packed.size() > limit)
        throw EBuildError("\"" + Printable(path) + "\" cannot be packed: its path" +
                          (path.size() > limit ? "" : " under the Upload folder") + " is longer than the " +
                          std::to_string(limit) + " bytes the platform allows.");
}

namespace {

void mirror(TBuildState& state, IBuildView& view, const std::string& folder, const std::string& root,
            const std::string& target, bool top)
{
    const std::string prefix = IncludeTrailingSeparator(folder);
    const auto entries = ListFolder(prefix);
    if (!entries)
        return;
    for (const TSearchRec& entry : *entries) {
        const std::string path = prefix + entry.Name;
        view.KeepAlive(path);
        if (entry.IsFolder()) {
            if (SameFile(path, target))
                continue;  // the Upload folder being written, when the chosen folder holds it
            CheckWindowsName(path, entry.Name);
            CheckPathLength(path, root, true);
            mirror(state, view, path, root, target, false);
            ForceDirectories(MirrorPath(path, root));  // a failure shows at the first write into it
            continue;
        }
        CheckWindowsName(path, entry.Name);
        CheckPathLength(path, root, false);
        if (entry.Name == state.UpdaterName) {
            // Only the updater at the top is the updater; a file of its name deeper down is left
            // out of the count as it is left out of the packing.
            if (!top)
                continue;
            state.UpdaterFound = true;
        }
        CheckedIncrement(state.FileCount);
    }
}

}  // namespace

void MirrorFolders(TBuildState& state, IBuildView& view, const std::string& folder, const std::string& root,
                   const std::string& target)
{
    mirror(state, view, folder, root, target, IncludeTrailingSeparator(folder) == IncludeTrailingSeparator(root));
}

}  // namespace tarnwick
