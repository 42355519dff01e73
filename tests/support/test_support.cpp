// test_support.cpp -- temporary folders, file bytes, shell commands and reference data for the tests.
#include "test_support.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace tarnwick::test {

TempDir::TempDir()
{
    const char* env = std::getenv("TMPDIR");
    std::string pattern = std::string(env != nullptr && *env != '\0' ? env : "/tmp") + "/tarnwick-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() { RemoveTree(path_); }

void RemoveTree(const std::string& path)
{
    std::error_code ec;
    // Folders made read-only by a test must become writable again to be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(
             path, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
    }
    std::filesystem::permissions(path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path, ec);
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot write " + path);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

CommandResult RunCommand(const std::string& commandLine)
{
    CommandResult result;
    const std::string full = commandLine + " 2>&1";
    FILE* pipe = ::popen(full.c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buf[4096];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
        result.output.append(buf, n);
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string ShellQuote(const std::string& s)
{
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::string Hex(const std::string& bytes)
{
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            out += ' ';
        const auto b = static_cast<unsigned char>(bytes[i]);
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::string FromHex(const std::string& hex)
{
    std::string out;
    int nibble = -1;
    for (char c : hex) {
        int v = -1;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        if (v < 0)
            continue;
        if (nibble < 0) {
            nibble = v;
        } else {
            out += static_cast<char>(nibble * 16 + v);
            nibble = -1;
        }
    }
    return out;
}

std::string NoiseBytes(std::size_t size, std::uint32_t seed)
{
    std::string s(size, '\0');
    for (char& c : s) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return s;
}

std::uint32_t ByteLoopCrc32Update(std::uint32_t crc, const unsigned char* bytes, std::size_t length)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t v = i;
            for (int k = 0; k < 8; ++k)
                v = (v & 1) != 0 ? (v >> 1) ^ 0xEDB88320u : v >> 1;
            t[i] = v;
        }
        return t;
    }();
    for (std::size_t i = 0; i < length; ++i)
        crc = (crc >> 8) ^ table[(crc ^ bytes[i]) & 0xFF];
    return crc;
}

}  // namespace tarnwick::test
