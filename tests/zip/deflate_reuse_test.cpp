// deflate_reuse_test.cpp -- compression streams made one after another (their zlib state is
// reused) each give the bytes that a fresh zlib stream gives for their data and level.
#include <gtest/gtest.h>

#include <zlib.h>

#include <random>

#include "zip/compression_stream.h"

namespace orvzip {
namespace {

std::string compressed(TCompressionLevel level, const std::string& data)
{
    tarnwick::TMemoryStream dest;
    TCompressionStream z(level, dest);
    z.WriteBuffer(data.data(), static_cast<std::int64_t>(data.size()));
    EXPECT_EQ(z.Position(), static_cast<std::int64_t>(data.size()));
    z.Finish();
    return dest.Bytes();
}

std::string reference(TCompressionLevel level, const std::string& data)
{
    uLongf length = compressBound(static_cast<uLong>(data.size()));
    std::string out(length, '\0');
    EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &length, reinterpret_cast<const Bytef*>(data.data()),
                        static_cast<uLong>(data.size()), ZlibLevel(level)),
              Z_OK);
    out.resize(length);
    return out;
}

TEST(CompressionStreamReuse, EachStreamInARowGivesWhatAFreshZlibStreamGives)
{
    std::mt19937 gen(3);
    auto mixed = [&](std::size_t n) {
        std::string s(n, '\0');
        for (std::size_t i = 0; i < n; ++i)
            s[i] = static_cast<char>(i % 3 == 0 ? gen() : 'a' + i % 7);
        return s;
    };
    const std::string big = mixed(300000);  // fills the window and the output buffer several times
    const std::string small = "hello";
    using L = TCompressionLevel;
    const struct {
        L level;
        const std::string& data;
    } rows[] = {{L::clMax, big}, {L::clMax, small}, {L::clMax, big}, {L::clFastest, small},
                {L::clMax, small}, {L::clDefault, big}, {L::clNone, small}, {L::clMax, big}};
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "level " << ZlibLevel(row.level) << ", " << row.data.size() << " bytes");
        EXPECT_EQ(compressed(row.level, row.data), reference(row.level, row.data));
    }
}

TEST(CompressionStreamReuse, AStreamReleasedUnfinishedLeavesNothingForTheNext)
{
    {
        tarnwick::TMemoryStream dest;
        TCompressionStream abandoned(TCompressionLevel::clMax, dest);
        const std::string part(100000, 'x');
        abandoned.WriteBuffer(part.data(), static_cast<std::int64_t>(part.size()));
    }  // released without Finish, as when an add fails half-way
    const std::string data = "the next archive's data";
    EXPECT_EQ(compressed(TCompressionLevel::clMax, data), reference(TCompressionLevel::clMax, data));
}

}  // namespace
}  // namespace orvzip
