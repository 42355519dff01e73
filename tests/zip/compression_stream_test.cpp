// compression_stream_test.cpp -- the deflate stream: zlib format out, progress after each
// full output buffer during writes and never while finishing, "error" when zlib fails.
#include <gtest/gtest.h>

#include <zlib.h>

#include "support/test_support.h"
#include "zip/compression_stream.h"

namespace orvzip {
namespace {

using tarnwick::test::NoiseBytes;

std::string inflateZlib(const std::string& in, std::size_t expected)
{
    std::string out(expected, '\0');
    uLongf outLen = static_cast<uLongf>(out.size());
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &outLen,
                         reinterpret_cast<const Bytef*>(in.data()), static_cast<uLong>(in.size())),
              Z_OK);
    out.resize(outLen);
    return out;
}

TEST(CompressionStream, LevelTable)
{
    EXPECT_EQ(ZlibLevel(TCompressionLevel::clNone), 0);
    EXPECT_EQ(ZlibLevel(TCompressionLevel::clFastest), 1);
    EXPECT_EQ(ZlibLevel(TCompressionLevel::clDefault), -1);
    EXPECT_EQ(ZlibLevel(TCompressionLevel::clMax), 9);
}

TEST(CompressionStream, WritesZlibFormatThatMatchesZlibAtEachLevel)
{
    const std::string data = std::string(3000, 'a') + NoiseBytes(5000, 12345) + "hello";
    for (TCompressionLevel level : {TCompressionLevel::clNone, TCompressionLevel::clFastest,
                                    TCompressionLevel::clDefault, TCompressionLevel::clMax}) {
        tarnwick::TMemoryStream dest;
        TCompressionStream z(level, dest);
        z.WriteBuffer(data.data(), static_cast<std::int64_t>(data.size()));
        z.Finish();
        EXPECT_EQ(inflateZlib(dest.Bytes(), data.size()), data);
        // The same bytes as zlib gives with the same parameters, fed in one piece and finished.
        z_stream zs{};
        ASSERT_EQ(deflateInit2(&zs, ZlibLevel(level), Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY), Z_OK);
        std::string ref(deflateBound(&zs, static_cast<uLong>(data.size())), '\0');
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        zs.avail_in = static_cast<uInt>(data.size());
        zs.next_out = reinterpret_cast<Bytef*>(ref.data());
        zs.avail_out = static_cast<uInt>(ref.size());
        ASSERT_EQ(deflate(&zs, Z_NO_FLUSH), Z_OK);
        ASSERT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
        ref.resize(zs.total_out);
        deflateEnd(&zs);
        EXPECT_TRUE(dest.Bytes() == ref) << "level " << ZlibLevel(level);
    }
}

TEST(CompressionStream, ProgressAfterEachFullBufferDuringWriteAndNoneAtFinish)
{
    // Stored blocks make the output a little larger than the input: 200,000 bytes give three
    // full 64 KiB buffers during the write and the rest when finishing.
    const std::string data = NoiseBytes(200000, 12345);
    tarnwick::TMemoryStream dest;
    TCompressionStream z(TCompressionLevel::clNone, dest);
    std::vector<std::int64_t> positions, written;
    z.OnProgress = [&](TCompressionStream& sender) {
        EXPECT_EQ(&sender, &z);
        positions.push_back(sender.Position());
        written.push_back(dest.Size());
    };
    z.WriteBuffer(data.data(), static_cast<std::int64_t>(data.size()));
    ASSERT_EQ(positions.size(), 3u);
    for (std::size_t i = 0; i < positions.size(); ++i)
        EXPECT_EQ(written[i], static_cast<std::int64_t>((i + 1) * 65536));
    // zlib may hold consumed input back as pending output, so a position can repeat.
    EXPECT_GT(positions[0], 0);
    EXPECT_LE(positions[0], positions[1]);
    EXPECT_LE(positions[1], positions[2]);
    EXPECT_LE(positions[2], 200000);
    EXPECT_EQ(z.Position(), 200000);
    z.Finish();
    EXPECT_EQ(positions.size(), 3u);
    EXPECT_GT(dest.Size(), 3 * 65536);
    EXPECT_EQ(inflateZlib(dest.Bytes(), data.size()), data);
}

TEST(CompressionStream, SmallOutputRaisesNoProgress)
{
    tarnwick::TMemoryStream dest;
    TCompressionStream z(TCompressionLevel::clMax, dest);
    int calls = 0;
    z.OnProgress = [&](TCompressionStream&) { ++calls; };
    const std::string data(500000, 'x');  // compresses far below 64 KiB
    z.WriteBuffer(data.data(), static_cast<std::int64_t>(data.size()));
    z.Finish();
    EXPECT_EQ(calls, 0);
}

TEST(CompressionStream, ZlibFailureRaisesError)
{
    tarnwick::TMemoryStream dest;
    TCompressionStream z(TCompressionLevel::clDefault, dest);
    z.WriteBuffer("abc", 3);
    z.Finish();
    // deflate refuses input once its stream is finished.
    EXPECT_THROW_MSG(z.WriteBuffer("more", 4), ECompressionError, "error");
}

}  // namespace
}  // namespace orvzip
