// filesystem_posix.cpp -- the file-system calls over opendir/readdir, stat, mkdir and mkstemp.
#include "filesystem.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

TSearchRec recordFromStat(std::string name, const struct stat& st)
{
    TSearchRec rec;
    rec.Attr = S_ISDIR(st.st_mode) ? attr::kDirectory : attr::kArchive;
    if ((st.st_mode & S_IWUSR) == 0)
        rec.Attr |= attr::kReadOnly;
    if (!name.empty() && name[0] == '.')
        rec.Attr |= attr::kHidden;
    rec.Size = S_ISDIR(st.st_mode) ? 0 : st.st_size;
    rec.Time = UnixTimeToLocal(st.st_mtim.tv_sec, static_cast<int>(st.st_mtim.tv_nsec));
    rec.Name = std::move(name);
    return rec;
}

std::string baseName(const std::string& path)
{
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    const auto slash = p.find_last_of('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

// Device and inode of the folder and of every folder above it, by its path's prefixes.
std::vector<std::pair<dev_t, ino_t>> ancestry(const std::string& folder)
{
    std::vector<std::pair<dev_t, ino_t>> ids;
    std::string p = folder.empty() ? "." : folder;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    for (;;) {
        struct stat st {};
        if (::stat(p.c_str(), &st) == 0)
            ids.emplace_back(st.st_dev, st.st_ino);
        const auto slash = p.find_last_of('/');
        if (slash == std::string::npos) {
            if (p != "." && ::stat(".", &st) == 0)
                ids.emplace_back(st.st_dev, st.st_ino);
            // A relative path also sits below the current directory's own parents.
            char buf[PATH_MAX];
            if (::getcwd(buf, sizeof buf) != nullptr) {
                for (const auto& id : ancestry(buf))
                    ids.push_back(id);
            }
            break;
        }
        if (slash == 0) {
            if (p != "/" && ::stat("/", &st) == 0)
                ids.emplace_back(st.st_dev, st.st_ino);
            break;
        }
        p.resize(slash);
    }
    return ids;
}

}  // namespace

std::optional<std::vector<TSearchRec>> ListFolder(const std::string& folder)
{
    const std::string dirPath = folder.empty() ? "." : folder;
    std::unique_ptr<DIR, DirCloser> dir(::opendir(dirPath.c_str()));
    if (!dir)
        return std::nullopt;
    std::vector<TSearchRec> entries;
    std::optional<std::vector<std::pair<dev_t, ino_t>>> above;  // looked up at the first link
    while (dirent* de = ::readdir(dir.get())) {
        const std::string name = de->d_name;
        if (name == "." || name == "..")
            continue;
        // Looked up relative to the open folder, so that an entry whose full path is longer
        // than the platform allows is still listed (and can be reported by the caller).
        struct stat st {};
        if (::fstatat(::dirfd(dir.get()), name.c_str(), &st, 0) != 0)
            continue;  // a dangling link, or an entry gone since readdir
        if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode))
            continue;  // FIFOs, sockets and devices are never listed
        if (S_ISDIR(st.st_mode)) {
            struct stat lst {};
            if (::fstatat(::dirfd(dir.get()), name.c_str(), &lst, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(lst.st_mode)) {
                if (!above)
                    above = ancestry(dirPath);
                bool loops = false;
                for (const auto& id : *above)
                    loops = loops || (id.first == st.st_dev && id.second == st.st_ino);
                if (loops)
                    continue;
            }
        }
        entries.push_back(recordFromStat(name, st));
    }
    return entries;
}

std::optional<TSearchRec> FindPath(const std::string& path)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode))
        return std::nullopt;
    return recordFromStat(baseName(path), st);
}

bool FileExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa {}, sb {};
    return !a.empty() && !b.empty() && ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool CreateDir(const std::string& path) { return ::mkdir(path.c_str(), 0777) == 0; }

bool ForceDirectories(const std::string& path)
{
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    if (p.empty())
        return false;
    if (DirectoryExists(p))
        return true;
    const auto slash = p.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !ForceDirectories(p.substr(0, slash)))
        return false;
    return CreateDir(p) || DirectoryExists(p);
}

bool DeleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

std::string GetCurrentDir()
{
    std::string buf(PATH_MAX, '\0');
    while (::getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE)
            return ".";
        buf.resize(buf.size() * 2);
    }
    buf.resize(std::char_traits<char>::length(buf.c_str()));
    return buf;
}

std::string GetTempFolder()
{
    const char* env = std::getenv("TMPDIR");
    std::string folder = env != nullptr && *env != '\0' ? env : "/tmp";
    if (!DirectoryExists(folder))
        return {};
    if (folder.back() != '/')
        folder += '/';
    return folder;
}

std::string CreateUniqueTempFile(const std::string& folder)
{
    if (folder.empty())
        return {};
    std::string name = folder;
    if (name.back() != '/')
        name += '/';
    name += "orvXXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return {};
    ::close(fd);
    return name;
}

std::size_t MaxPathLength() { return PATH_MAX - 1; }

}  // namespace tarnwick
