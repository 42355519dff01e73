// crc_fast_test.cpp -- UpdateCrc32's sixteen-byte step gives what the plain byte loop gives.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

#include "builder/crc.h"
#include "support/test_support.h"

namespace tarnwick::test {
namespace {

TEST(UpdateCrc32Fast, EqualsTheByteLoopOverRandomLengthsAlignmentsAndRegisters)
{
    std::mt19937 gen(7);
    std::vector<unsigned char> buffer(70000 + 16);
    for (auto& b : buffer)
        b = static_cast<unsigned char>(gen());
    // Every length around the sixteen-byte step, then random ones up to beyond a 64 KiB block.
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 80; ++n)
        lengths.push_back(n);
    for (int i = 0; i < 200; ++i)
        lengths.push_back(gen() % 70000);
    for (const std::size_t n : lengths) {
        const std::size_t at = gen() % 16;
        const std::uint32_t reg = gen();  // any register, not only the preset
        SCOPED_TRACE(::testing::Message() << "length " << n << " at offset " << at);
        ASSERT_EQ(UpdateCrc32(reg, buffer.data() + at, static_cast<std::int32_t>(n)),
                  ByteLoopCrc32Update(reg, buffer.data() + at, n));
    }
}

TEST(UpdateCrc32Fast, PiecesOfAnyLengthCarryTheRegister)
{
    std::mt19937 gen(11);
    std::vector<unsigned char> data(5000);
    for (auto& b : data)
        b = static_cast<unsigned char>(gen());
    const std::uint32_t whole = ByteLoopCrc32Update(0xFFFFFFFFu, data.data(), data.size());
    for (int round = 0; round < 20; ++round) {
        std::uint32_t reg = 0xFFFFFFFFu;
        for (std::size_t at = 0; at < data.size();) {
            const std::size_t n = std::min<std::size_t>(gen() % 100, data.size() - at);
            reg = UpdateCrc32(reg, data.data() + at, static_cast<std::int32_t>(n));
            at += n;
        }
        ASSERT_EQ(reg, whole) << "round " << round;
    }
}

}  // namespace
}  // namespace tarnwick::test
