// build_command.cpp -- the Build command (Btn_BuildClick) and the settings of OrvZip1.
#include "builder/build_command.h"

#include "builder/build_paths.h"
#include "builder/packing.h"
#include "builder/update_list.h"
#include "runtime/checked.h"
#include "runtime/component.h"
#include "runtime/filesystem.h"
#include "zip/OrvZip.h"

namespace tarnwick {
namespace {

// OrvZip1 as the main form's resource sets it up.
constexpr const char* kOrvZip1Resource = R"(
Name = OrvZip1
IsZipFile = False
SaveMethod = FastSave
StoreRelativePath = False
StoreFolders = False
CompressionType = ctMaximum
UseTempFiles = False
OverwriteAction = oaOverwriteAll
ComponentVersion = '2.0'
ReadOnly = False
ApplyAtributes = False
Active = False
)";

// A line break or control character in a text bound for the list would add lines to it.
void checkListText(const char* what, const std::string& text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20)
            throw EBuildError(std::string("The ") + what + " \"" + Printable(text) +
                              "\" cannot hold control characters or line breaks.");
    }
}

// The chosen folder must not be the Upload folder or lie inside it: its archives would land
// among its own files and the list would be rewritten while it is packed.
void checkOutsideUpload(const std::string& chosen, const std::string& upload)
{
    std::string folder = chosen;
    for (int depth = 0; depth < 1024; ++depth) {
        if (SameFile(folder, upload))
            throw EBuildError("The chosen folder \"" + Printable(chosen) +
                              "\" lies inside the Upload folder that the build writes.");
        const std::string parent = IncludeTrailingSeparator(folder) + "..";
        if (!DirectoryExists(parent) || SameFile(parent, folder))
            return;
        folder = parent;
    }
}

}  // namespace

void ConfigureOrvZip1(orvzip::TOrvZip& zip) { ApplyResource(zip, ParseResourceText(kOrvZip1Resource)); }

void ResetBuildState(TBuildState& state)
{
    state.FileCount = 0;
    state.UpdaterFound = false;
    state.LineIndex = 1;
}

TBuildResult RunBuildCommand(IBuildView& view, orvzip::TOrvZip& zip, TBuildState& state)
{
    try {
        const std::string serverAddress = view.ServerAddressText();
        state.UpdaterName = view.UpdaterNameText();
        view.SetFolderTreeEnabled(false);
        checkListText("updater name", state.UpdaterName);
        checkListText("server address", serverAddress);

        const std::string upload = UploadFolderPath();
        CreateDir(upload);  // it may exist already; a failure shows at the first write into it
        const std::string chosen = view.SelectedFolderPath();
        // An empty path names no folder: listing it would list the working directory.
        if (!chosen.empty()) {
            checkOutsideUpload(chosen, upload);
            MirrorFolders(state, view, chosen, chosen, upload);
        }
        if (!state.UpdaterFound) {
            view.ShowMessage(state.UpdaterName + " was not found!");
            view.SetFolderTreeEnabled(true);
            ResetBuildState(state);
            return TBuildResult::brUpdaterNotFound;
        }

        const std::string listPath = IncludeTrailingSeparator(upload) + kUpdateListName;
        StartUpdateList(listPath);
        PackUpdater(view, zip, IncludeTrailingSeparator(chosen) + state.UpdaterName, upload, kUpdateListName);
        AppendToUpdateList(listPath,
                           MiscLines(serverAddress, view.ModifyHostChecked(), CheckedSub(state.FileCount, 1)));
        view.SetProgressMax(state.FileCount);
        const std::string flag = view.CriticalChecked() ? "|c" : "|n";
        PackFolder(state, view, zip, chosen, chosen, upload, flag);
        // LineIndex - 1 files and the updater were packed. Files that came or went between the
        // two walks would make the list's fcount and the closing count disagree with its lines.
        if (state.LineIndex != state.FileCount)
            throw EBuildError("The chosen folder changed during the build: " + std::to_string(state.FileCount) +
                              " files were counted and " + std::to_string(state.LineIndex) + " packed.");
        view.SetFolderTreeEnabled(true);
        view.ShowMessage("Done! " + std::to_string(state.FileCount) + " files have been packed.");
        view.SetProgressPosition(0);
    } catch (...) {
        // Every list write has closed its file already; what was written stays on disk.
        try {
            view.SetFolderTreeEnabled(true);
        } catch (...) {
        }
        ResetBuildState(state);
        throw;
    }
    ResetBuildState(state);
    return TBuildResult::brDone;
}

}  // namespace tarnwick
