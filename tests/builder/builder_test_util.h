// builder_test_util.h -- what the builder's tests share: a recording view, a working-directory
// guard, small trees, and one verifier of an update set (its list and every archive in it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "builder/build_view.h"

namespace tarnwick::test {

// The view that tests drive the Build command through; it records what the command did to it.
class RecorderView : public IBuildView {
public:
    std::string Server = "127.0.0.1";
    std::string Updater = "Fernpatch.exe";
    bool ModifyHost = false;
    bool Critical = false;
    std::string Folder;

    std::vector<std::string> Messages;
    std::vector<bool> TreeCalls;        // every SetFolderTreeEnabled, in order
    bool TreeEnabled = true;
    std::int32_t Max = 100;
    std::int32_t Position = 0;
    std::int32_t PositionAtMessage = -1;
    std::vector<std::string> KeptAlive; // every file named to KeepAlive

    std::function<void()> OnSetProgressMax;  // runs when the pack pass is about to start
    std::function<void(const std::string&)> OnKeepAlive;

    std::string ServerAddressText() override { return Server; }
    std::string UpdaterNameText() override { return Updater; }
    bool ModifyHostChecked() override { return ModifyHost; }
    bool CriticalChecked() override { return Critical; }
    std::string SelectedFolderPath() override { return Folder; }
    void SetFolderTreeEnabled(bool enabled) override;
    std::int32_t ProgressMax() override { return Max; }
    void SetProgressMax(std::int32_t maximum) override;
    std::int32_t ProgressPosition() override { return Position; }
    void SetProgressPosition(std::int32_t position) override;
    void ShowMessage(const std::string& text) override;
    void KeepAlive(const std::string& currentFile) override;
};

// Changes the working directory for the guard's lifetime.
class ScopedCurrentDir {
public:
    explicit ScopedCurrentDir(const std::string& path);
    ~ScopedCurrentDir();
    ScopedCurrentDir(const ScopedCurrentDir&) = delete;
    ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;

private:
    std::string previous_;
};

// Writes a file, creating the folders on its way; a path ending in "/" makes a folder only.
void MakeFile(const std::string& root, const std::string& relative, const std::string& bytes = "");

// n bytes from a seeded Mersenne Twister: the same for the same seed.
std::string RandomBytes(std::size_t n, unsigned seed);

// zlib's crc32() of the bytes: a CRC-32 computed without the builder's own code.
std::uint32_t ZlibCrc32(const std::string& bytes);

// The files of a chosen folder in the order a build packs them: depth first, in the file
// system's listing order, without files named like the updater (at any depth) and without the
// folder skip (the Upload folder). Paths are relative, with "/".
std::vector<std::string> PackOrder(const std::string& chosen, const std::string& updater,
                                   const std::string& skip = "");

struct ExpectedSet {
    std::string Chosen;                 // the chosen folder
    std::string Upload;                 // the Upload folder
    std::string Updater = "Fernpatch.exe";
    std::string Server = "127.0.0.1";
    bool ModifyHost = false;
    bool Critical = false;
    std::vector<std::string> Files;     // relative paths with "/", in pack order
};

// Checks an update set: updates.lst line for line and byte for byte (CR LF, numbering, CRCs
// equal to zlib's, sizes equal to the archives on disk), and every archive with unzip -t and
// Python's zipfile (one entry under the file's bare name, its recorded CRC, its content).
void ExpectUpdateSet(const ExpectedSet& expected);

}  // namespace tarnwick::test
