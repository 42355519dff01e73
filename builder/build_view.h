// build_view.h -- what the Build command needs of its window: the settings it reads, the
// folder tree it disables, the progress bar it moves and the messages it shows. The Qt window,
// the command-line front end and the tests' recorder each implement it.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

class IBuildView {
public:
    virtual ~IBuildView() = default;

    virtual std::string ServerAddressText() = 0;  // LbL_IpServer, as typed
    virtual std::string UpdaterNameText() = 0;    // LbL_NameEXE, as typed
    virtual bool ModifyHostChecked() = 0;         // ChkB_ModHost
    virtual bool CriticalChecked() = 0;           // ChkB_Crtical
    virtual std::string SelectedFolderPath() = 0; // STView_FolderEXE's selected path ("" if none)
    virtual void SetFolderTreeEnabled(bool enabled) = 0;

    // PrgBar_Build. A position outside 0 .. maximum is clamped, as the bar does.
    virtual std::int32_t ProgressMax() = 0;
    virtual void SetProgressMax(std::int32_t maximum) = 0;
    virtual std::int32_t ProgressPosition() = 0;
    virtual void SetProgressPosition(std::int32_t position) = 0;

    // The plain modal message box (the text, OK, the application's title); returns when closed.
    virtual void ShowMessage(const std::string& text) = 0;

    // Called while a long build runs (at every listed entry and packed file), so that a window
    // can keep painting; names the file being worked on when there is one.
    virtual void KeepAlive(const std::string& /*currentFile*/) {}
};

}  // namespace tarnwick
