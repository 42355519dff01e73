// zip_bench.cpp -- the archive component: AppendEntryFast on small and large sources, opening
// archives of 1, 1,000 and 65,535 entries, an in-place removal and a rebuild.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "bench/bench_files.h"
#include "runtime/datetime.h"
#include "zip/OrvZip.h"
#include "zip/record_io.h"

namespace {

using orvzip::TOrvZip;

constexpr std::uint32_t kDosDate = (44u << 25) | (1u << 21) | (1u << 16) | (12u << 11);  // 2024-01-01 12:00

// An archive of count stored entries of 16 bytes each, written record by record (adding them
// one by one would rewrite the central directory count times). Made once per count.
const std::string& ArchiveOf(int count)
{
    static std::map<int, std::string> made;
    auto found = made.find(count);
    if (found != made.end())
        return found->second;
    const std::string path = bench::ScratchPath("entries-" + std::to_string(count) + ".zip");
    std::vector<orvzip::TCentralDirectoryFile> central;
    {
        tarnwick::TFileStream out(path, tarnwick::FileMode::Create);
        for (int i = 0; i < count; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "data/dir%03d/file%05d.dat", i % 200, i);
            char body[32];
            std::snprintf(body, sizeof body, "entry %08d\r\n", i);  // 16 bytes
            orvzip::TLocalFile local;
            local.Signature = orvzip::kLocalFileSignature;
            local.VersionNeededToExtract = 20;
            local.LastModFileTimeDate = kDosDate;
            local.Crc32 = orvzip::TOrvZipEntries::DataCrc32(body, 16);
            local.CompressedSize = local.UncompressedSize = 16;
            local.FileName = name;
            local.FileNameLength = static_cast<std::uint16_t>(local.FileName.size());
            orvzip::TCentralDirectoryFile c;
            c.Signature = orvzip::kCentralFileSignature;
            c.VersionMadeBy = c.VersionNeededToExtract = 20;
            c.LastModFileTimeDate = kDosDate;
            c.Crc32 = local.Crc32;
            c.CompressedSize = c.UncompressedSize = 16;
            c.FileName = local.FileName;
            c.FileNameLength = local.FileNameLength;
            c.ExternalFileAttributes = 0x20;
            c.RelativeOffsetOfLocalHeader = static_cast<std::uint32_t>(out.Position());
            orvzip::detail::WriteLocalHeader(out, local);
            out.WriteBuffer(body, 16);
            central.push_back(std::move(c));
        }
        orvzip::TEndOfCentralDirectoryRecord end;
        end.Signature = orvzip::kEndOfCentralDirSignature;
        end.CentralDirectoryOffset = static_cast<std::uint32_t>(out.Position());
        for (const auto& c : central)
            orvzip::detail::WriteCentralHeader(out, c);
        end.CentralDirectorySize = static_cast<std::uint32_t>(out.Position()) - end.CentralDirectoryOffset;
        end.EntriesOnThisDisk = end.TotalEntries = static_cast<std::uint16_t>(count);
        orvzip::detail::WriteBlock(out, end);
        out.Close();
    }
    return made.emplace(count, path).first->second;
}

// A fresh copy of the archive of count entries, to be changed.
std::string WorkCopy(int count)
{
    const std::string work = bench::ScratchPath("work.zip");
    std::filesystem::copy_file(ArchiveOf(count), work, std::filesystem::copy_options::overwrite_existing);
    return work;
}

// The settings with which the update-set build packs its files.
void BuildSettings(TOrvZip& zip)
{
    zip.SetSaveMethod(orvzip::TZipSaveMethod::FastSave);
    zip.SetCompressionType(orvzip::TZipCompressionType::ctMaximum);
    zip.SetStoreRelativePath(false);
    zip.SetStoreFolders(false);
}

// One entry added to an empty archive, as a build packs a file: deflate at level 9 in memory,
// the local header and data where the central directory stood, the new directory behind.
void BM_AppendEntryFast(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::string bytes = n <= 4096 ? bench::TextBytes(n, 3) : bench::MixedBytes(n, 3);
    const std::string path = bench::ScratchPath("append.zip");
    const tarnwick::TDateTime date = tarnwick::Now();
    TOrvZip zip(nullptr);
    BuildSettings(zip);
    for (auto _ : state) {
        state.PauseTiming();
        zip.CreateArchiveFile(path);
        zip.OpenArchiveFile(path);
        tarnwick::TMemoryStream source;
        source.WriteBuffer(bytes);
        source.SetPosition(0);
        state.ResumeTiming();
        zip.Entries().AppendEntryFast("file.bin", 0x20, source, date);
        state.PauseTiming();
        zip.CloseArchive();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_AppendEntryFast)->Arg(1024)->Arg(4 << 20)->Unit(benchmark::kMicrosecond);

// Opening reads the end record, the whole central directory and every local header.
void BM_OpenArchive(benchmark::State& state)
{
    const std::string& path = ArchiveOf(static_cast<int>(state.range(0)));
    TOrvZip zip(nullptr);
    for (auto _ : state) {
        zip.OpenArchiveFile(path);
        benchmark::DoNotOptimize(zip.Entries().Count());
        zip.CloseArchive();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_OpenArchive)->Arg(1)->Arg(1000)->Arg(65535)->Unit(benchmark::kMicrosecond);

// Removing the middle entry of 1,000 in place: the tail moves down, the directory is rewritten.
void BM_RemoveInPlace(benchmark::State& state)
{
    TOrvZip zip(nullptr);
    BuildSettings(zip);
    for (auto _ : state) {
        state.PauseTiming();
        zip.OpenArchiveFile(WorkCopy(1000));
        state.ResumeTiming();
        zip.Entries().RemoveEntryAt(500);
        state.PauseTiming();
        zip.CloseArchive();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_RemoveInPlace)->Unit(benchmark::kMicrosecond);

// Adding to an archive of 1,000 entries with RebuildAll: every entry is copied into a scratch
// stream with the new one, which then replaces the archive's content. Memory or a temp file.
void BM_Rebuild(benchmark::State& state)
{
    const bool tempFiles = state.range(0) != 0;
    const std::string bytes = bench::TextBytes(1024, 9);
    const tarnwick::TDateTime date = tarnwick::Now();
    TOrvZip zip(nullptr);
    BuildSettings(zip);
    zip.SetSaveMethod(orvzip::TZipSaveMethod::RebuildAll);
    zip.SetUseTempFiles(tempFiles);
    for (auto _ : state) {
        state.PauseTiming();
        zip.OpenArchiveFile(WorkCopy(1000));
        tarnwick::TMemoryStream source;
        source.WriteBuffer(bytes);
        source.SetPosition(0);
        state.ResumeTiming();
        zip.Entries().AddEntryRebuild("added.txt", 0x20, source, date);
        state.PauseTiming();
        zip.CloseArchive();
        state.ResumeTiming();
    }
    state.SetLabel(tempFiles ? "temp file" : "memory");
}
BENCHMARK(BM_Rebuild)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
