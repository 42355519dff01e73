// floor.cpp -- the lower bound of a build: read every file, CRC-32 it with the plain table
// loop and deflate it at level 9 into memory with zlib's one-call compress2, single-threaded.
// Nothing is written. The buffers keep their capacity from one file to the next.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

std::uint32_t table[256];

void buildTable()
{
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t v = i;
        for (int k = 0; k < 8; ++k)
            v = (v & 1) ? (v >> 1) ^ 0xEDB88320u : v >> 1;
        table[i] = v;
    }
}

std::uint32_t crc32Bytes(const unsigned char* p, std::size_t n)
{
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i)
        c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: floor FOLDER\n");
        return 2;
    }
    buildTable();
    std::uint64_t files = 0, in = 0, out = 0;
    std::uint32_t mix = 0;
    std::vector<unsigned char> data, packed;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[1])) {
        if (!entry.is_regular_file())
            continue;
        // One read of the whole file into a buffer that keeps its capacity from file to file.
        std::FILE* f = std::fopen(entry.path().c_str(), "rb");
        if (f == nullptr)
            return 1;
        data.resize(static_cast<std::size_t>(entry.file_size()));
        const std::size_t got = data.empty() ? 0 : std::fread(data.data(), 1, data.size(), f);
        std::fclose(f);
        if (got != data.size())
            return 1;
        mix ^= crc32Bytes(data.data(), data.size());
        if (!data.empty()) {
            uLongf len = compressBound(static_cast<uLong>(data.size()));
            packed.resize(len);
            if (compress2(packed.data(), &len, data.data(), static_cast<uLong>(data.size()), 9) != Z_OK)
                return 1;
            out += len;
        }
        in += data.size();
        ++files;
    }
    std::printf("%llu files, %llu bytes in, %llu bytes deflated, crc mix %08x\n",
                static_cast<unsigned long long>(files), static_cast<unsigned long long>(in),
                static_cast<unsigned long long>(out), mix);
    return 0;
}
