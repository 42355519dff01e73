// crc_fast_test.cpp -- DataCrc32's sixteen-byte step gives what the plain byte loop gives.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "support/test_support.h"
#include "zip/OrvZip.h"

namespace orvzip::test {
namespace {

// The plain byte loop, pre- and post-conditioned as DataCrc32 is: the reference.
std::uint32_t ByteLoopCrc32(const std::uint8_t* p, std::size_t n)
{
    return ~tarnwick::test::ByteLoopCrc32Update(0xFFFFFFFFu, p, n);
}

TEST(DataCrc32Fast, EqualsTheByteLoopOverRandomLengthsAndAlignments)
{
    std::mt19937 gen(5);
    std::vector<std::uint8_t> buffer(70000 + 16);
    for (auto& b : buffer)
        b = static_cast<std::uint8_t>(gen());
    // Every length around the sixteen-byte step, then random ones up to beyond 64 KiB.
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 80; ++n)
        lengths.push_back(n);
    for (int i = 0; i < 200; ++i)
        lengths.push_back(gen() % 70000);
    for (const std::size_t n : lengths) {
        const std::size_t at = gen() % 16;
        SCOPED_TRACE(::testing::Message() << "length " << n << " at offset " << at);
        const std::uint8_t* p = buffer.data() + at;
        ASSERT_EQ(TOrvZipEntries::DataCrc32(p, n), ByteLoopCrc32(p, n));
        ASSERT_EQ(TOrvZipEntries::DataCrc32(std::string(reinterpret_cast<const char*>(p), n)), ByteLoopCrc32(p, n));
    }
}

}  // namespace
}  // namespace orvzip::test
