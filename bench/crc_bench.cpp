// crc_bench.cpp -- the CRC-32 of the builder (UpdateCrc32, FileCrc32) and of the archive
// component (DataCrc32), beside the plain table-driven byte loop they must beat.
#include <benchmark/benchmark.h>

#include <array>

#include "bench/bench_files.h"
#include "builder/crc.h"
#include "zip/OrvZip.h"

namespace {

// The plain loop: one table look-up per byte, the way the floor program computes it.
std::uint32_t ByteLoop(std::uint32_t crc, const unsigned char* p, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        crc = (crc >> 8) ^ tarnwick::Crc32Table[(crc ^ p[i]) & 0xFF];
    return crc;
}

// 16 MiB of random bytes, the most any case below takes.
const std::string& Data()
{
    static const std::string bytes = bench::RandomBytes(16 << 20, 1);
    return bytes;
}

void SizeArgs(benchmark::internal::Benchmark* b)
{
    for (const int n : {64, 4096, 65536, 1 << 20})
        b->Arg(n);
}

void BM_ByteLoop(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    const auto* p = reinterpret_cast<const unsigned char*>(Data().data());
    for (auto _ : state)
        benchmark::DoNotOptimize(ByteLoop(0xFFFFFFFFu, p, n));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_ByteLoop)->Apply(SizeArgs);

void BM_UpdateCrc32(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    const char* p = Data().data();
    for (auto _ : state)
        benchmark::DoNotOptimize(tarnwick::UpdateCrc32(0xFFFFFFFFu, p, static_cast<std::int32_t>(n)));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_UpdateCrc32)->Apply(SizeArgs);

void BM_DataCrc32(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    const char* p = Data().data();
    for (auto _ : state)
        benchmark::DoNotOptimize(orvzip::TOrvZipEntries::DataCrc32(p, n));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_DataCrc32)->Apply(SizeArgs);

// A whole file from the page cache: open, 64 KiB blocks, close.
void BM_FileCrc32(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::string path = bench::ScratchPath("crc-" + std::to_string(n) + ".bin");
    bench::WriteFile(path, Data().substr(0, n));
    for (auto _ : state)
        benchmark::DoNotOptimize(tarnwick::FileCrc32(path));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_FileCrc32)->Arg(4096)->Arg(1 << 20)->Arg(16 << 20);

}  // namespace

BENCHMARK_MAIN();
