// builder_test_util.cpp -- the recording view, the trees and the update-set verifier.
#include "builder_test_util.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <stdexcept>

#include "support/test_support.h"

namespace fs = std::filesystem;

namespace tarnwick::test {

void RecorderView::SetFolderTreeEnabled(bool enabled)
{
    TreeEnabled = enabled;
    TreeCalls.push_back(enabled);
}

void RecorderView::SetProgressMax(std::int32_t maximum)
{
    Max = maximum;
    Position = std::min(Position, Max);
    if (OnSetProgressMax)
        OnSetProgressMax();
}

void RecorderView::SetProgressPosition(std::int32_t position) { Position = std::clamp(position, 0, Max); }

void RecorderView::ShowMessage(const std::string& text)
{
    Messages.push_back(text);
    PositionAtMessage = Position;
}

void RecorderView::KeepAlive(const std::string& currentFile)
{
    KeptAlive.push_back(currentFile);
    if (OnKeepAlive)
        OnKeepAlive(currentFile);
}

ScopedCurrentDir::ScopedCurrentDir(const std::string& path) : previous_(fs::current_path().string())
{
    fs::current_path(path);
}

ScopedCurrentDir::~ScopedCurrentDir()
{
    std::error_code ec;
    fs::current_path(previous_, ec);
}

void MakeFile(const std::string& root, const std::string& relative, const std::string& bytes)
{
    const fs::path path = fs::path(root) / relative;
    if (!relative.empty() && relative.back() == '/') {
        fs::create_directories(path);
        return;
    }
    fs::create_directories(path.parent_path());
    WriteFileBytes(path.string(), bytes);
}

std::string RandomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(gen() & 0xFF);
    return s;
}

std::uint32_t ZlibCrc32(const std::string& bytes)
{
    return static_cast<std::uint32_t>(
        ::crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

namespace {

void walk(const fs::path& folder, const fs::path& root, const std::string& updater, const std::string& skip,
          std::vector<std::string>& out)
{
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (entry.is_directory()) {
            std::error_code ec;
            if (!skip.empty() && fs::equivalent(entry.path(), skip, ec))
                continue;
            walk(entry.path(), root, updater, skip, out);
        } else if (entry.path().filename() != updater) {
            out.push_back(fs::relative(entry.path(), root).string());
        }
    }
}

constexpr const char* kZipCheck = R"PY(
import sys, zipfile, zlib
a = sys.argv[1:]
bad = []
for i in range(0, len(a), 3):
    arc, name, src = a[i:i + 3]
    data = open(src, 'rb').read()
    with zipfile.ZipFile(arc) as z:
        infos = z.infolist()
        if [x.filename for x in infos] != [name]:
            bad.append('%s: entries %r' % (arc, [x.filename for x in infos]))
            continue
        info = infos[0]
        if info.CRC != zlib.crc32(data):
            bad.append('%s: recorded CRC %d, file CRC %d' % (arc, info.CRC, zlib.crc32(data)))
        if z.testzip() is not None or z.read(name) != data:
            bad.append('%s: content differs' % arc)
        if info.compress_type != (8 if data else 0):
            bad.append('%s: method %d' % (arc, info.compress_type))
print('\n'.join(bad) if bad else 'OK')
)PY";

}  // namespace

std::vector<std::string> PackOrder(const std::string& chosen, const std::string& updater, const std::string& skip)
{
    std::vector<std::string> out;
    walk(chosen, chosen, updater, skip, out);
    return out;
}

void ExpectUpdateSet(const ExpectedSet& e)
{
    struct Archive {
        std::string zip, name, source;
    };
    std::vector<Archive> archives;
    auto sizeOf = [](const std::string& path) {
        std::error_code ec;
        const auto size = fs::file_size(path, ec);
        return ec ? std::string("-1") : std::to_string(size);
    };

    const std::string updaterSource = e.Chosen + "/" + e.Updater;
    const std::string updaterZip = e.Upload + "/" + e.Updater + ".zip";
    archives.push_back({updaterZip, e.Updater, updaterSource});
    std::string want = "[self]\r\nIAM=" + e.Updater + "|" + std::to_string(ZlibCrc32(ReadFileBytes(updaterSource))) +
                       "|" + sizeOf(updaterZip) + "\r\n[misc]\r\nServer=" + e.Server + "\r\nModifyHost=" +
                       (e.ModifyHost ? "1" : "0") + "\r\n[files]\r\nfcount=" + std::to_string(e.Files.size()) + "\r\n";
    int index = 1;
    for (const std::string& file : e.Files) {
        std::string listed = file;
        std::replace(listed.begin(), listed.end(), '/', '\\');
        const std::string source = e.Chosen + "/" + file;
        const std::string zip = e.Upload + "/" + file + ".zip";
        want += "F" + std::to_string(index++) + "=" + listed + "|" + std::to_string(ZlibCrc32(ReadFileBytes(source))) +
                "|" + sizeOf(zip) + (e.Critical ? "|c" : "|n") + "\r\n";
        archives.push_back({zip, fs::path(file).filename().string(), source});
    }
    EXPECT_EQ(ReadFileBytes(e.Upload + "/updates.lst"), want);

    std::string unzipLoop = "for a in";
    std::string pyArgs;
    for (const Archive& a : archives) {
        unzipLoop += " " + ShellQuote(a.zip);
        pyArgs += " " + ShellQuote(a.zip) + " " + ShellQuote(a.name) + " " + ShellQuote(a.source);
    }
    unzipLoop += "; do unzip -tq \"$a\" >/dev/null || echo \"unzip -t failed: $a\"; done";
    const CommandResult unzip = RunCommand(unzipLoop);
    EXPECT_EQ(unzip.output, "");
    const CommandResult py = RunCommand("python3 -c " + ShellQuote(kZipCheck) + pyArgs);
    EXPECT_EQ(py.output, "OK\n");
}

}  // namespace tarnwick::test
