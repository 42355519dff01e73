// scale_test.cpp -- a build over 20,000 small files, with folders nested 100 deep in places,
// on a thread with a small stack and under a low limit of open files.
#include <gtest/gtest.h>

#include <pthread.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "builder/build_command.h"
#include "builder_test_util.h"
#include "hardening_util.h"
#include "support/test_support.h"
#include "zip/OrvZip.h"
#include "zip_test_util.h"

namespace tarnwick::test {
namespace {

constexpr int kFlatFolders = 190;
constexpr int kFilesPerFlatFolder = 100;
constexpr int kDepth = 100;
constexpr int kFilesPerLevel = 10;
constexpr int kFiles = kFlatFolders * kFilesPerFlatFolder + kDepth * kFilesPerLevel;  // 20,000

std::string Name(const char* prefix, int i) { return prefix + std::to_string(i); }

// 190 folders of 100 files, and one chain of 100 nested folders with 10 files at each level.
void MakeTree(const std::string& chosen)
{
    MakeFile(chosen, "Fernpatch.exe", "updater");
    for (int f = 0; f < kFlatFolders; ++f) {
        const std::string folder = chosen + "/" + Name("flat", f);
        std::filesystem::create_directory(folder);
        for (int i = 0; i < kFilesPerFlatFolder; ++i)
            std::ofstream(folder + "/" + Name("f", i) + ".dat") << i;
    }
    std::string folder = chosen;
    for (int level = 0; level < kDepth; ++level) {
        folder += "/" + Name("d", level);
        std::filesystem::create_directory(folder);
        for (int i = 0; i < kFilesPerLevel; ++i)
            std::ofstream(folder + "/" + Name("g", i) + ".txt") << level << ":" << i;
    }
}

struct Outcome {
    TBuildResult result = TBuildResult::brUpdaterNotFound;
    std::string error;
    int mostDescriptorsAtDepth = 0;
};

struct Job {
    RecorderView* view;
    orvzip::TOrvZip* zip;
    TBuildState* state;
    Outcome* outcome;
};

void* RunJob(void* arg)
{
    Job& job = *static_cast<Job*>(arg);
    try {
        job.outcome->result = RunBuildCommand(*job.view, *job.zip, *job.state);
    } catch (const std::exception& e) {
        job.outcome->error = e.what();
    }
    return nullptr;
}

TEST(Scale, TwentyThousandFilesAndAHundredLevelsOnASmallStackAndFewDescriptors)
{
    TempDir dir;
    const std::string chosen = dir / "tree";
    MakeTree(chosen);
    MakeFile(dir.path(), "work/");
    ScopedCurrentDir cwd(dir / "work");

    RecorderView view;
    view.Folder = chosen;
    orvzip::TOrvZip zip(nullptr);
    ConfigureOrvZip1(zip);
    TBuildState state;
    Outcome outcome;
    const int descriptorsBefore = OpenDescriptors();
    // No listing stays open across the recursion: at the deepest level the walks hold no more
    // descriptors than at the top.
    view.OnKeepAlive = [&](const std::string& file) {
        if (file.find("/d99/") != std::string::npos)
            outcome.mostDescriptorsAtDepth = std::max(outcome.mostDescriptorsAtDepth, OpenDescriptors());
    };

    // A 256 KiB stack (threads get 8 MiB by default) and 16 descriptors more than the process
    // holds now.
    rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit low = saved;
    low.rlim_cur = static_cast<rlim_t>(descriptorsBefore + 16);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    pthread_attr_t attr;
    pthread_attr_init(&attr);
#if defined(__SANITIZE_ADDRESS__)
    pthread_attr_setstacksize(&attr, 1024 * 1024);  // the sanitizer's frames are several times larger
#else
    pthread_attr_setstacksize(&attr, 256 * 1024);
#endif
    Job job{&view, &zip, &state, &outcome};
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, RunJob, &job), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    setrlimit(RLIMIT_NOFILE, &saved);

    ASSERT_EQ(outcome.error, "");
    EXPECT_EQ(outcome.result, TBuildResult::brDone);
    EXPECT_EQ(view.Messages, std::vector<std::string>{"Done! " + std::to_string(kFiles + 1) + " files have been packed."});
    EXPECT_EQ(OpenDescriptors(), descriptorsBefore);
    EXPECT_GT(outcome.mostDescriptorsAtDepth, 0);
    EXPECT_LE(outcome.mostDescriptorsAtDepth, descriptorsBefore);

    const std::string list = ReadFileBytes(dir / "work/Upload/updates.lst");
    EXPECT_NE(list.find("\r\nfcount=" + std::to_string(kFiles) + "\r\n"), std::string::npos);
    EXPECT_NE(list.find("\r\nF" + std::to_string(kFiles) + "="), std::string::npos);
    EXPECT_EQ(list.find("\r\nF" + std::to_string(kFiles + 1) + "="), std::string::npos);
    std::string deepest = "tree";
    for (int level = 0; level < kDepth; ++level)
        deepest += "/" + Name("d", level);
    EXPECT_TRUE(orvzip::test::UnzipTests(dir / "work/Upload" + deepest.substr(4) + "/g9.txt.zip"));
    EXPECT_TRUE(orvzip::test::UnzipTests(dir / "work/Upload/flat189/f99.dat.zip"));
}

}  // namespace
}  // namespace tarnwick::test
