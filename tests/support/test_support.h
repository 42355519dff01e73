// test_support.h -- helpers shared by the test suites.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarnwick::test {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
void RemoveTree(const std::string& path);

struct CommandResult {
    int exitCode = -1;
    std::string output;  // standard output and standard error together
};
// Runs a shell command line and gathers what it prints.
CommandResult RunCommand(const std::string& commandLine);
// Quotes a string for the shell.
std::string ShellQuote(const std::string& s);

// Hex dump helper for readable comparisons of bytes.
std::string Hex(const std::string& bytes);
std::string FromHex(const std::string& hex);  // spaces allowed

// Bytes that deflate cannot shrink, the same for the same size and seed.
std::string NoiseBytes(std::size_t size, std::uint32_t seed);

// The CRC-32 register folded over the bytes one at a time, with a table of its own built from
// the polynomial: the reference that faster CRC loops are checked against.
std::uint32_t ByteLoopCrc32Update(std::uint32_t crc, const unsigned char* bytes, std::size_t length);

}  // namespace tarnwick::test

// Expects statement to throw ExceptionType whose what() equals message exactly.
#define EXPECT_THROW_MSG(statement, ExceptionType, message)                                  \
    do {                                                                                      \
        try {                                                                                 \
            statement;                                                                        \
            ADD_FAILURE() << #statement " did not throw";                                     \
        } catch (const ExceptionType& e_) {                                                   \
            EXPECT_EQ(std::string(e_.what()), std::string(message));                          \
        } catch (const std::exception& e_) {                                                  \
            ADD_FAILURE() << #statement " threw another type: " << e_.what();                 \
        }                                                                                     \
    } while (0)
