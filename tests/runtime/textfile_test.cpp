// Sequential text files: lines ended by CR LF, created, emptied and appended to.
#include <cerrno>

#include "runtime/errors.h"
#include "runtime/fault.h"
#include "runtime/textfile.h"
#include "support/test_support.h"

using namespace tarnwick;
using tarnwick::test::TempDir;

TEST(TextFile, RewriteAppendAndLineEnds)
{
    TempDir dir;
    const std::string path = dir / "updates.lst";
    test::WriteFileBytes(path, "old content that goes");
    TTextFile f;
    f.Rewrite(path);
    f.WriteLine("[self]");
    f.Close();
    EXPECT_EQ(test::ReadFileBytes(path), "[self]\r\n");
    f.Append(path);
    f.WriteLine("IAM=Fernpatch.exe|1|2");
    f.WriteLine("");
    f.Close();
    EXPECT_EQ(test::ReadFileBytes(path), "[self]\r\nIAM=Fernpatch.exe|1|2\r\n\r\n");
    EXPECT_FALSE(f.IsOpen());
    f.Close();  // closing twice is harmless
}

TEST(TextFile, FailedCloseKeepsEarlierGroupsAndLeavesTheFileClosed)
{
    TempDir dir;
    const std::string path = dir / "updates.lst";
    TTextFile f;
    f.Rewrite(path);
    f.WriteLine("[self]");
    f.Close();
    {
        fault::Scoped rule({fault::Op::Close, EIO});
        f.Append(path);
        f.WriteLine("F1=a.dll|1|2|n");
        EXPECT_THROW_MSG(f.Close(), EInOutError, "Erreur E/S 1117");
        EXPECT_FALSE(f.IsOpen());
    }
    {
        fault::Scoped rule({fault::Op::Write, ENOSPC});
        f.Append(path);
        f.WriteLine("F2=b.dll|1|2|n");
        EXPECT_THROW_MSG(f.Close(), EInOutError, "Disque plein");
        EXPECT_FALSE(f.IsOpen());
    }
    EXPECT_EQ(test::ReadFileBytes(path), "[self]\r\nF1=a.dll|1|2|n\r\n");
}
