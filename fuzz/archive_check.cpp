// archive_check.cpp -- see archive_check.h.
#include "fuzz/archive_check.h"

#include <dirent.h>

#include <cstring>

#include <zlib.h>

namespace tarnwick::fuzz {

std::int64_t ReachableEndRecord(const std::string& bytes)
{
    const auto size = static_cast<std::int64_t>(bytes.size());
    if (size < 22)
        return -1;
    std::int64_t lowest = 0;
    if (size >= 65536)
        lowest = size - 66582;
    else if (size >= 1024)
        lowest = size - 1302;
    else if (size >= 256)
        lowest = size - 278;
    if (lowest < 0)
        lowest = 0;
    for (std::int64_t p = size - 22; p >= lowest; --p)
        if (std::memcmp(bytes.data() + p, "PK\x05\x06", 4) == 0)
            return p;
    return -1;
}

bool Inflate(const std::string& deflated, std::string& out, std::size_t expectedSize)
{
    out.assign(expectedSize, '\0');
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK)
        return false;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
    z.avail_in = static_cast<uInt>(deflated.size());
    char spare = 0;
    z.next_out = expectedSize > 0 ? reinterpret_cast<Bytef*>(out.data()) : reinterpret_cast<Bytef*>(&spare);
    z.avail_out = expectedSize > 0 ? static_cast<uInt>(expectedSize) : 1;
    const int rc = inflate(&z, Z_FINISH);
    const bool whole = rc == Z_STREAM_END && z.total_out == expectedSize && z.avail_in == 0;
    inflateEnd(&z);
    return whole;
}

int OpenDescriptors()
{
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr)
        return -1;
    int count = 0;
    while (const dirent* e = readdir(dir))
        if (e->d_name[0] != '.')
            ++count;
    closedir(dir);
    return count - 1;  // the listing's own descriptor
}

int FilesIn(const std::string& folder)
{
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return -1;
    int count = 0;
    while (const dirent* e = readdir(dir))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            ++count;
    closedir(dir);
    return count;
}

}  // namespace tarnwick::fuzz
