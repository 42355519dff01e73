// The memory stream and the file stream behave alike under the same operations.
#include <functional>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/errors.h"
#include "runtime/fault.h"
#include "runtime/stream.h"
#include "support/test_support.h"

using namespace tarnwick;
using tarnwick::test::TempDir;

namespace {

struct StreamKind {
    const char* name;
    std::function<std::unique_ptr<TStream>(const std::string& path)> make;
};

std::ostream& operator<<(std::ostream& os, const StreamKind& k) { return os << k.name; }

class StreamBehaviour : public ::testing::TestWithParam<StreamKind> {
protected:
    TempDir dir;
    std::unique_ptr<TStream> stream = GetParam().make(dir / "s.bin");
};

std::string readAll(TStream& s)
{
    s.SetPosition(0);
    std::string out(static_cast<std::size_t>(s.Size()), '\0');
    s.ReadBuffer(out.data(), static_cast<std::int64_t>(out.size()));
    return out;
}

}  // namespace

TEST_P(StreamBehaviour, ReadWriteSeekAndSize)
{
    TStream& s = *stream;
    EXPECT_EQ(s.Size(), 0);
    EXPECT_EQ(s.Write("hello world", 11), 11);
    EXPECT_EQ(s.Position(), 11);
    EXPECT_EQ(s.Size(), 11);

    char buf[32] = {};
    s.SetPosition(6);
    EXPECT_EQ(s.Read(buf, 32), 5);  // a read at the end delivers what there is
    EXPECT_EQ(std::string(buf, 5), "world");
    EXPECT_EQ(s.Read(buf, 4), 0);

    s.SetPosition(0);
    s.WriteBuffer("J", 1);  // overwrite in the middle keeps the rest
    EXPECT_EQ(readAll(s), "Jello world");

    EXPECT_EQ(s.Seek(-5, SeekOrigin::End), 6);
    EXPECT_EQ(s.Seek(2, SeekOrigin::Current), 8);

    s.SetSize(5);  // cut
    EXPECT_EQ(s.Size(), 5);
    EXPECT_EQ(readAll(s), "Jello");
    s.SetSize(8);  // grown with zero bytes
    EXPECT_EQ(readAll(s), std::string("Jello\0\0\0", 8));

    s.SetPosition(10);  // writing past the end fills the gap with zeros
    s.WriteBuffer("!", 1);
    EXPECT_EQ(readAll(s), std::string("Jello\0\0\0\0\0!", 11));

    s.SetPosition(9);
    EXPECT_THROW_MSG(s.ReadBuffer(buf, 4), EReadError, "Erreur de lecture du flux");
}

TEST_P(StreamBehaviour, AgreesWithAModelOverRandomOperations)
{
    // Mixed small and large reads, writes, seeks and size changes, against a plain string.
    std::mt19937 rng(7);
    std::string model;
    std::int64_t pos = 0;
    TStream& s = *stream;
    for (int step = 0; step < 3000; ++step) {
        const int op = static_cast<int>(rng() % 5);
        const std::int64_t len = rng() % 4 == 0 ? static_cast<std::int64_t>(rng() % 200000) : rng() % 300;
        if (op == 0) {
            std::string data(static_cast<std::size_t>(len), '\0');
            for (char& c : data)
                c = static_cast<char>(rng());
            s.WriteBuffer(data.data(), len);
            if (pos + len > static_cast<std::int64_t>(model.size()))
                model.resize(static_cast<std::size_t>(pos + len));
            model.replace(static_cast<std::size_t>(pos), static_cast<std::size_t>(len), data);
            pos += len;
        } else if (op == 1) {
            std::string got(static_cast<std::size_t>(len), '\0');
            const std::int64_t n = s.Read(got.data(), len);
            const std::int64_t expect = std::max<std::int64_t>(0, std::min<std::int64_t>(len, model.size() - pos));
            ASSERT_EQ(n, expect) << "step " << step;
            ASSERT_EQ(got.substr(0, n), model.substr(static_cast<std::size_t>(pos), static_cast<std::size_t>(n)));
            pos += n;
        } else if (op == 2) {
            pos = model.empty() ? 0 : static_cast<std::int64_t>(rng() % (model.size() + 10));
            s.SetPosition(pos);
        } else if (op == 3 && rng() % 4 == 0) {
            const std::int64_t size = static_cast<std::int64_t>(rng() % (model.size() + 1000));
            s.SetSize(size);
            model.resize(static_cast<std::size_t>(size));
            pos = std::min(pos, size);
            s.SetPosition(pos);
        } else {
            ASSERT_EQ(s.Size(), static_cast<std::int64_t>(model.size())) << "step " << step;
            ASSERT_EQ(s.Position(), pos);
        }
    }
    ASSERT_EQ(readAll(s), model);
}

INSTANTIATE_TEST_SUITE_P(Kinds, StreamBehaviour,
                         ::testing::Values(StreamKind{"memory", [](const std::string&) -> std::unique_ptr<TStream> {
                                               return std::make_unique<TMemoryStream>();
                                           }},
                                           StreamKind{"file", [](const std::string& path) -> std::unique_ptr<TStream> {
                                               return std::make_unique<TFileStream>(path, FileMode::Create);
                                           }}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FileStream, WritesReachTheFileOnCloseAndOtherReadersSeeThem)
{
    TempDir dir;
    const std::string path = dir / "a.bin";
    TFileStream writer(path, FileMode::Create);
    writer.WriteBuffer("abc", 3);
    writer.Flush();
    TFileStream reader(path, FileMode::OpenRead);  // no sharing lock
    char buf[3];
    reader.ReadBuffer(buf, 3);
    EXPECT_EQ(std::string(buf, 3), "abc");
    writer.WriteBuffer("def", 3);
    writer.Close();
    EXPECT_EQ(test::ReadFileBytes(path), "abcdef");
}

TEST(FileStream, ReadOnlyStreamRefusesWrites)
{
    TempDir dir;
    test::WriteFileBytes(dir / "a.bin", "xyz");
    TFileStream s(dir / "a.bin", FileMode::OpenRead);
    s.WriteBuffer("q", 1);  // buffered; the failure shows when the bytes go out
    EXPECT_THROW(s.Flush(), EInOutError);
    EXPECT_EQ(test::ReadFileBytes(dir / "a.bin"), "xyz");
}

TEST(FileStream, FifoIsNotOpenedAndDoesNotBlock)
{
    TempDir dir;
    const std::string fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(TFileStream(fifo, FileMode::OpenRead), EFOpenError);
}

TEST(FileStream, FailedResizeKeepsFormerSize)
{
    TempDir dir;
    TFileStream s(dir / "a.bin", FileMode::Create);
    s.WriteBuffer("0123456789", 10);
    fault::Scoped rule({fault::Op::SetSize, ENOSPC});
    EXPECT_THROW_MSG(s.SetSize(1 << 20), EInOutError, "Disque plein");
    EXPECT_EQ(s.Size(), 10);
}

TEST(MemoryStream, ReserveSparesGrowth)
{
    TMemoryStream s;
    s.Reserve(1 << 16);
    const char* before = s.Memory();
    std::string chunk(1000, 'x');
    for (int i = 0; i < 60; ++i)
        s.WriteBuffer(chunk);
    EXPECT_EQ(s.Memory(), before);
    EXPECT_EQ(s.Size(), 60000);
}

TEST(Stream, CopyFromRaisesOnShortSource)
{
    TMemoryStream src, dst;
    src.WriteBuffer("abcdef", 6);
    src.SetPosition(2);
    EXPECT_EQ(dst.CopyFrom(src, 4), 4);
    EXPECT_EQ(dst.Bytes(), "cdef");
    src.SetPosition(4);
    EXPECT_THROW(dst.CopyFrom(src, 4), EReadError);
    EXPECT_EQ(dst.CopyFrom(src, 0), 6);  // 0: the whole source from its start
}
