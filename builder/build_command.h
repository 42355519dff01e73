// build_command.h -- the Build command: its state, the mirror pass and the steps of a build.
#pragma once

#include <cstdint>
#include <string>

#include "builder/build_view.h"
#include "runtime/errors.h"

namespace orvzip {
class TOrvZip;
}

namespace tarnwick {

// State of a build, shared by the Build command and the packing passes for the life of the
// process; reset when a build ends, also by an error.
struct TBuildState {
    std::string UpdaterName;    // the last build's updater name, untrimmed
    std::int32_t FileCount = 0; // files met by the mirror pass, the updater included
    bool UpdaterFound = false;
    std::int32_t LineIndex = 1; // number of the next F line
};

// How a build that raised no error ended.
enum class TBuildResult { brDone, brUpdaterNotFound };

// Raised when a build refuses its input: a name that a Windows client cannot hold, a line break
// in a text bound for the list, a chosen folder inside the Upload folder.
class EBuildError : public Exception {
public:
    using Exception::Exception;
};

// Sets the window's archive component from its resource (the settings the form gives OrvZip1),
// by name and in published order.
void ConfigureOrvZip1(orvzip::TOrvZip& zip);

// Runs one whole build (Btn_BuildClick): reads the view, mirrors, packs, writes updates.lst and
// shows the closing message. An error ends the build after the clean-up (list closed, tree
// enabled, state reset) and is then thrown on to the caller, whose handler shows its message.
TBuildResult RunBuildCommand(IBuildView& view, orvzip::TOrvZip& zip, TBuildState& state);

// The values a build leaves behind: no files, updater not found, next F line 1.
void ResetBuildState(TBuildState& state);

// The mirror pass: walks folder and everything below it (root is the chosen folder, target the
// Upload folder), counts the files in state.FileCount, sets state.UpdaterFound when the updater
// lies at the top of root, and creates the mirror of every sub-folder under target. The updater's
// name deeper down is neither counted nor found, and the Upload folder itself is never entered.
// A name that a Windows client cannot hold raises EBuildError naming the file.
// Raises EBuildError, naming path, when name (the last part of path) cannot exist on Windows.
void CheckWindowsName(const std::string& path, const std::string& name);
// Raises EBuildError, naming path, when it or the path it is packed to (its mirror under the
// Upload folder, with ".zip" for a file) is longer than the platform allows.
void CheckPathLength(const std::string& path, const std::string& root, bool folder);

void MirrorFolders(TBuildState& state, IBuildView& view, const std::string& folder, const std::string& root,
                   const std::string& target);

}  // namespace tarnwick
