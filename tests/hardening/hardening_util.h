// hardening_util.h -- what the hardening tests share: descriptor counts, a private temporary
// folder for scratch files, and a tree whose paths are longer than the platform allows.
#pragma once

#include <string>

namespace tarnwick::test {

// Open file descriptors of this process, counted in /proc/self/fd.
int OpenDescriptors();

// Regular files and folders directly in folder; -1 when it cannot be listed.
int EntriesIn(const std::string& folder);

// Points TMPDIR at a folder of its own for the guard's lifetime, so that scratch files left
// behind show.
class ScopedTempFolder {
public:
    explicit ScopedTempFolder(const std::string& folder);
    ~ScopedTempFolder();
    ScopedTempFolder(const ScopedTempFolder&) = delete;
    ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;
    const std::string& Path() const { return folder_; }

private:
    std::string folder_;
    std::string saved_;
    bool had_ = false;
};

// Makes, below folder, a chain of sub-folders named like segment until the path of the last
// one is at least length bytes long, with a file named fileName in it; returns the chain's
// relative path. Works through descriptors, so that the path may exceed what the platform
// accepts in one piece.
std::string MakeLongChain(const std::string& folder, const std::string& segment, std::size_t length,
                          const std::string& fileName);
// Removes folder with everything in it, also below paths longer than the platform accepts.
void RemoveDeepTree(const std::string& folder);

}  // namespace tarnwick::test
