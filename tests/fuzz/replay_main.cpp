// replay_main.cpp -- runs a fuzz target over files, as libFuzzer replays them, so that the
// regression files and the seed corpus are checked by every test run and under the ordinary
// compiler. Arguments are files or folders (every file in them); a missing folder is skipped.
//
// A single allocation larger than any input here can justify aborts the run, as libFuzzer's
// -malloc_limit_mb does: reading a damaged archive must never allocate what the stream does
// not hold.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

constexpr std::size_t kAllocationLimit = 64u << 20;

void* allocate(std::size_t size)
{
    if (size > kAllocationLimit) {
        std::fprintf(stderr, "replay: an allocation of %zu bytes, beyond the %zu allowed\n", size, kAllocationLimit);
        std::abort();
    }
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

}  // namespace

// Every form of new and delete that the program may reach, so that all of them meet.
void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg = argv[i];
        std::error_code ec;
        if (fs::is_directory(arg, ec)) {
            for (const auto& e : fs::directory_iterator(arg))
                if (e.is_regular_file())
                    files.push_back(e.path());
        } else if (fs::is_regular_file(arg, ec)) {
            files.push_back(arg);
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::fprintf(stderr, "replay: %s (%zu bytes)\n", file.c_str(), bytes.size());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("replayed %zu files\n", files.size());
    return 0;
}
