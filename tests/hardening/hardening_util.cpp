// hardening_util.cpp -- see hardening_util.h.
#include "hardening_util.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace tarnwick::test {

int OpenDescriptors()
{
    DIR* dir = ::opendir("/proc/self/fd");
    if (dir == nullptr)
        return -1;
    int count = 0;
    while (const dirent* e = ::readdir(dir))
        if (e->d_name[0] != '.')
            ++count;
    ::closedir(dir);
    return count - 1;  // the listing's own descriptor
}

int EntriesIn(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return -1;
    int count = 0;
    while (const dirent* e = ::readdir(dir))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            ++count;
    ::closedir(dir);
    return count;
}

ScopedTempFolder::ScopedTempFolder(const std::string& folder) : folder_(folder)
{
    ::mkdir(folder_.c_str(), 0777);
    if (const char* old = std::getenv("TMPDIR")) {
        had_ = true;
        saved_ = old;
    }
    ::setenv("TMPDIR", folder_.c_str(), 1);
}

ScopedTempFolder::~ScopedTempFolder()
{
    if (had_)
        ::setenv("TMPDIR", saved_.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}

std::string MakeLongChain(const std::string& folder, const std::string& segment, std::size_t length,
                          const std::string& fileName)
{
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("cannot open " + folder);
    std::string relative;
    while (folder.size() + 1 + relative.size() < length) {
        if (::mkdirat(fd, segment.c_str(), 0777) != 0 && errno != EEXIST)
            throw std::runtime_error("mkdirat failed");
        const int next = ::openat(fd, segment.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        if (next < 0)
            throw std::runtime_error("openat failed");
        fd = next;
        relative += (relative.empty() ? "" : "/") + segment;
    }
    const int file = ::openat(fd, fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (file >= 0) {
        (void)!::write(file, "deep", 4);
        ::close(file);
    }
    ::close(fd);
    return relative;
}

namespace {

void removeBelow(int fd)
{
    DIR* dir = ::fdopendir(::dup(fd));
    if (dir == nullptr)
        return;
    while (const dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        struct stat st {};
        if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
            const int sub = ::openat(fd, e->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (sub >= 0) {
                removeBelow(sub);
                ::close(sub);
            }
            ::unlinkat(fd, e->d_name, AT_REMOVEDIR);
        } else {
            ::unlinkat(fd, e->d_name, 0);
        }
    }
    ::closedir(dir);
}

}  // namespace

void RemoveDeepTree(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    removeBelow(fd);
    ::close(fd);
    ::rmdir(folder.c_str());
}

}  // namespace tarnwick::test
