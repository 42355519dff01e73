// Listing, look-up, folders and temporary files of the platform layer.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/filesystem.h"
#include "support/test_support.h"

using namespace tarnwick;
using tarnwick::test::TempDir;

namespace {

std::map<std::string, TSearchRec> byName(const std::vector<TSearchRec>& entries)
{
    std::map<std::string, TSearchRec> m;
    for (const auto& e : entries)
        m[e.Name] = e;
    return m;
}

}  // namespace

TEST(Listing, AttributesOfFilesAndFolders)
{
    TempDir dir;
    test::WriteFileBytes(dir / "plain.dll", "12345");
    test::WriteFileBytes(dir / ".hidden", "");
    test::WriteFileBytes(dir / "locked.dat", "x");
    ::chmod((dir / "locked.dat").c_str(), 0444);
    ::mkdir((dir / "system").c_str(), 0755);
    ::mkfifo((dir / "pipe").c_str(), 0600);
    ::symlink("plain.dll", (dir / "link.dll").c_str());
    ::symlink("nowhere", (dir / "dangling").c_str());

    const auto listed = ListFolder(dir.path());
    ASSERT_TRUE(listed);
    const auto m = byName(*listed);
    EXPECT_EQ(m.count("."), 0u);
    EXPECT_EQ(m.count(".."), 0u);
    EXPECT_EQ(m.count("pipe"), 0u);      // never a FIFO
    EXPECT_EQ(m.count("dangling"), 0u);  // a link to nothing is no entry
    ASSERT_EQ(m.size(), 5u);
    EXPECT_EQ(m.at("plain.dll").Attr, attr::kArchive);
    EXPECT_EQ(m.at("plain.dll").Size, 5);
    EXPECT_EQ(m.at(".hidden").Attr, attr::kArchive | attr::kHidden);
    EXPECT_EQ(m.at("locked.dat").Attr, attr::kArchive | attr::kReadOnly);
    EXPECT_EQ(m.at("system").Attr, attr::kDirectory);
    EXPECT_TRUE(m.at("system").IsFolder());
    EXPECT_EQ(m.at("link.dll").Attr, attr::kArchive);  // followed
    EXPECT_EQ(m.at("link.dll").Size, 5);
}

TEST(Listing, OrderIsTheFileSystemsOwn)
{
    TempDir dir;
    for (const char* name : {"b", "a", "c", "A"})
        test::WriteFileBytes(dir / name, "");
    const auto listed = ListFolder(dir.path() + "/");
    ASSERT_TRUE(listed);
    std::vector<std::string> names;
    for (const auto& e : *listed)
        names.push_back(e.Name);
    // What readdir gives, unsorted; compared with ls -f's order.
    const auto ls = test::RunCommand("ls -f -A " + test::ShellQuote(dir.path()));
    std::vector<std::string> expected;
    std::size_t at = 0;
    while (at < ls.output.size()) {
        const auto nl = ls.output.find('\n', at);
        expected.push_back(ls.output.substr(at, nl - at));
        at = nl + 1;
    }
    EXPECT_EQ(names, expected);
}

TEST(Listing, LinkToAnAncestorIsNotEnteredAgain)
{
    TempDir dir;
    ::mkdir((dir / "a").c_str(), 0755);
    ::mkdir((dir / "a/b").c_str(), 0755);
    ::symlink("..", (dir / "a/b/up").c_str());       // back to a
    ::symlink("../..", (dir / "a/b/top").c_str());   // back to the test folder
    ::symlink("/", (dir / "a/root").c_str());        // the root is above everything
    ::mkdir((dir / "other").c_str(), 0755);
    ::symlink("../other", (dir / "a/side").c_str()); // a link elsewhere is followed
    const auto inB = ListFolder(dir / "a/b");
    ASSERT_TRUE(inB);
    EXPECT_TRUE(inB->empty());
    const auto inA = byName(*ListFolder(dir / "a"));
    EXPECT_EQ(inA.count("root"), 0u);
    EXPECT_EQ(inA.count("side"), 1u);
    EXPECT_EQ(inA.count("b"), 1u);
}

TEST(Listing, FolderThatCannotBeListed)
{
    TempDir dir;
    EXPECT_FALSE(ListFolder(dir / "missing"));
    test::WriteFileBytes(dir / "file", "");
    EXPECT_FALSE(ListFolder(dir / "file"));
}

TEST(FileSystem, LookUpOfOnePath)
{
    TempDir dir;
    test::WriteFileBytes(dir / "a.zip", std::string(123, 'x'));
    const auto rec = FindPath(dir / "a.zip");
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->Name, "a.zip");
    EXPECT_EQ(rec->Size, 123);
    EXPECT_EQ(rec->Attr, attr::kArchive);
    const auto folder = FindPath(dir.path());
    ASSERT_TRUE(folder);
    EXPECT_TRUE(folder->IsFolder());
    EXPECT_FALSE(FindPath(dir / "nothing"));
    EXPECT_FALSE(FindPath(""));
}

TEST(FileSystem, FoldersAndDeletion)
{
    TempDir dir;
    EXPECT_TRUE(CreateDir(dir / "Upload"));
    EXPECT_FALSE(CreateDir(dir / "Upload"));  // exists already
    EXPECT_FALSE(CreateDir(dir / "x/y"));     // one level only
    EXPECT_TRUE(ForceDirectories(dir / "x/y/z/"));
    EXPECT_TRUE(DirectoryExists(dir / "x/y/z"));
    EXPECT_TRUE(ForceDirectories(dir / "x/y"));
    test::WriteFileBytes(dir / "f", "");
    EXPECT_FALSE(ForceDirectories(dir / "f/sub"));
    EXPECT_TRUE(FileExists(dir / "f"));
    EXPECT_TRUE(DeleteFile(dir / "f"));
    EXPECT_FALSE(FileExists(dir / "f"));
    EXPECT_FALSE(DeleteFile(dir / "f"));
}

TEST(FileSystem, CurrentDirectory)
{
    TempDir dir;
    const std::string before = GetCurrentDir();
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    char real[4096];
    ASSERT_NE(::realpath(dir.path().c_str(), real), nullptr);
    EXPECT_EQ(GetCurrentDir(), real);
    ASSERT_EQ(::chdir(before.c_str()), 0);
}

TEST(FileSystem, TemporaryFilesAreNewEmptyAndUnique)
{
    TempDir dir;
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old != nullptr ? old : "";
    ::setenv("TMPDIR", dir.path().c_str(), 1);
    const std::string folder = GetTempFolder();
    EXPECT_EQ(folder, dir.path() + "/");
    const std::string a = CreateUniqueTempFile(folder);
    const std::string b = CreateUniqueTempFile(folder);
    EXPECT_NE(a, b);
    EXPECT_EQ(a.rfind(folder, 0), 0u);
    EXPECT_TRUE(FileExists(a));
    EXPECT_EQ(FindPath(a)->Size, 0);
    EXPECT_EQ(CreateUniqueTempFile(dir / "missing"), "");
    ::setenv("TMPDIR", (dir / "missing").c_str(), 1);
    EXPECT_EQ(GetTempFolder(), "");
    if (old != nullptr)
        ::setenv("TMPDIR", saved.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}
