// terminal_view.h -- the Build command's view on a terminal: settings from the command line,
// messages on standard output, and a progress bar on standard error when that is a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "builder/build_view.h"

namespace tarnwick::cli {

struct TBuildSettings {
    std::string UpdaterName = "Fernpatch.exe";
    std::string ServerAddress = "127.0.0.1";
    bool Critical = false;
    bool ModifyHost = false;
    std::string Folder;
};

class TTerminalView final : public IBuildView {
public:
    TTerminalView(TBuildSettings settings, bool showProgress);

    std::string ServerAddressText() override { return settings_.ServerAddress; }
    std::string UpdaterNameText() override { return settings_.UpdaterName; }
    bool ModifyHostChecked() override { return settings_.ModifyHost; }
    bool CriticalChecked() override { return settings_.Critical; }
    std::string SelectedFolderPath() override { return settings_.Folder; }
    void SetFolderTreeEnabled(bool) override {}

    std::int32_t ProgressMax() override { return max_; }
    void SetProgressMax(std::int32_t maximum) override;
    std::int32_t ProgressPosition() override { return position_; }
    void SetProgressPosition(std::int32_t position) override;

    // The message as one line on standard output.
    void ShowMessage(const std::string& text) override;
    void KeepAlive(const std::string& currentFile) override;

    // Takes the progress bar off the terminal, before a message or an error is printed.
    void ClearProgress();

private:
    void draw(bool now);

    TBuildSettings settings_;
    bool showProgress_;
    bool packing_ = false;  // the bar shows once the build knows how many files it packs
    bool drawn_ = false;
    std::int32_t max_ = 100;
    std::int32_t position_ = 0;
    std::string current_;
    std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace tarnwick::cli
