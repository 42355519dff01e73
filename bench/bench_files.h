// bench_files.h -- scratch files and data for the benchmarks: a folder under $TMPDIR that is
// removed at exit, and deterministic source bytes of the three kinds a client tree holds.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace bench {

inline const std::string& ScratchFolder()
{
    struct Folder {
        std::string path;
        Folder()
        {
            const char* tmp = std::getenv("TMPDIR");
            std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/tarnwick-bench-XXXXXX";
            if (::mkdtemp(pattern.data()) == nullptr)
                std::abort();
            path = pattern;
        }
        ~Folder()
        {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const Folder folder;
    return folder.path;
}

inline std::string ScratchPath(const std::string& name) { return ScratchFolder() + "/" + name; }

inline void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Incompressible bytes.
inline std::string RandomBytes(std::size_t n, std::uint32_t seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (std::size_t i = 0; i + 4 <= n; i += 4) {
        const std::uint32_t v = gen();
        s[i] = static_cast<char>(v);
        s[i + 1] = static_cast<char>(v >> 8);
        s[i + 2] = static_cast<char>(v >> 16);
        s[i + 3] = static_cast<char>(v >> 24);
    }
    return s;
}

// Compressible text lines, like a client's configuration and script files.
inline std::string TextBytes(std::size_t n, std::uint32_t seed)
{
    static const char* const kWords[] = {"alpha", "beta",  "gamma", "delta", "item",  "sword", "shield",
                                         "potion", "map",  "quest", "level", "npc",   "omega", "sigma"};
    std::mt19937 gen(seed);
    std::string s;
    s.reserve(n + 64);
    while (s.size() < n) {
        const int words = 4 + static_cast<int>(gen() % 10);
        for (int w = 0; w < words; ++w) {
            s += kWords[gen() % (sizeof kWords / sizeof kWords[0])];
            s += ' ';
        }
        s += "= " + std::to_string(gen() % 100000) + "\r\n";
    }
    s.resize(n);
    return s;
}

// Half text, half random bytes: the mix of the large file in the end-to-end tree.
inline std::string MixedBytes(std::size_t n, std::uint32_t seed)
{
    return TextBytes(n / 2, seed) + RandomBytes(n - n / 2, seed + 1);
}

}  // namespace bench
