// How fast the ROM catalogue answers a GAME for a folder it has to read completely:
// the scan without a CRC cache (cold), with a filled cache (warm), reading alone on one
// thread (the floor a one-by-one scan cannot beat) and the byte-at-a-time table CRC, all
// on one generated folder in one run, printed as GB/s and as ratios. Reading alone and the
// cold scan take turns for several rounds, so a machine busy with other work shows up as
// a spread of ratios rather than as one lucky or unlucky number.
//
//   rom_scan_bench [--files=N] [--min-kib=K] [--max-kib=K] [--dir=PATH] [--rounds=N]
//                  [--evict] [benchmark flags]
//   defaults: 3500 files of 256 KiB to 4 MiB (about 7.5 GB), 3 rounds; --quick is 200
//   files. --dir keeps the folder, and a later run with the same sizes reuses its files.
//   --evict drops the folder's files from the page cache before every pass, so every pass
//   reads from the device (a cold disk); the cache of the rest of the machine is left alone.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "lobby/RomCatalogue.h"

namespace fs = std::filesystem;
using namespace khub::rom;

namespace {

struct Folder {
    fs::path dir;
    bool owned = false;
    bool evict = false;
    std::uint64_t bytes = 0;
    std::vector<fs::path> files;
    std::uint64_t sampleBytes = 0;  // every 8th file: enough for the slow byte loop
    std::vector<fs::path> sample;
};
Folder folder;

void WriteRandomFile(const fs::path& path, std::size_t size, std::uint64_t seed) {
    std::mt19937_64 gen(seed);
    std::vector<std::uint64_t> block(1 << 17);  // 1 MiB
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        std::perror("open");
        std::exit(1);
    }
    for (std::size_t done = 0; done < size;) {
        for (auto& w : block) w = gen();
        std::size_t n = std::min(size - done, block.size() * 8);
        if (::write(fd, block.data(), n) != static_cast<ssize_t>(n)) std::exit(1);
        done += n;
    }
    ::close(fd);
}

void Generate(int count, int minKib, int maxKib) {
    std::mt19937_64 sizes(42);
    std::uniform_int_distribution<int> kib(minKib, maxKib);
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "rom%05d.smc", i);
        fs::path path = folder.dir / name;
        std::size_t size = std::size_t(kib(sizes)) * 1024;
        struct stat st;
        if (::stat(path.c_str(), &st) != 0 || std::size_t(st.st_size) != size) {
            WriteRandomFile(path, size, std::uint64_t(i) + 1);
        }
        folder.bytes += size;
        folder.files.push_back(path);
        if (i % 8 == 0) {
            folder.sampleBytes += size;
            folder.sample.push_back(path);
        }
    }
}

// Drops the folder's pages from the page cache (they are clean: written and synced).
void EvictFolder() {
    for (const auto& path : folder.files) {
        int fd = ::open(path.c_str(), O_RDONLY);
        if (fd < 0) continue;
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

void EvictIfCold(benchmark::State& state) {
    if (!folder.evict) return;
    state.PauseTiming();
    EvictFolder();
    state.ResumeTiming();
}

// A CRC no file has, so every scan reads the whole folder.
const std::string kAbsent = "00000001";

void BM_ScanCold(benchmark::State& state) {
    for (auto _ : state) {
        EvictIfCold(state);
        CrcCache cache;  // empty: every file is read
        benchmark::DoNotOptimize(FindRomByCrc(folder.dir.string(), kAbsent, cache, {}));
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(folder.bytes));
}

void BM_ScanWarm(benchmark::State& state) {
    fs::path cachePath = folder.dir.parent_path() / "rom_scan_bench.cache";
    {
        CrcCache fill(cachePath.string());
        FindRomByCrc(folder.dir.string(), kAbsent, fill, {});
        fill.Save();
    }
    for (auto _ : state) {
        CrcCache cache(cachePath.string());
        cache.Load();  // as a second GAME does: load, list, stat, answer
        benchmark::DoNotOptimize(FindRomByCrc(folder.dir.string(), kAbsent, cache, {}));
        if (cache.FilesRead() != 0) state.SkipWithError("the warm scan read files");
    }
    fs::remove(cachePath);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(folder.bytes));
}

template <bool kCrc>
std::uint32_t ReadFiles(const std::vector<fs::path>& files) {
    static std::unique_ptr<unsigned char[]> buf(new unsigned char[1 << 20]);
    std::uint32_t crc = 0;
    for (const auto& path : files) {
        int fd = ::open(path.c_str(), O_RDONLY);
        for (ssize_t n; (n = ::read(fd, buf.get(), 1 << 20)) > 0;) {
            if (kCrc)
                crc = Crc32Bytewise(crc, buf.get(), std::size_t(n));
            else
                benchmark::DoNotOptimize(buf[0]);
        }
        ::close(fd);
    }
    return crc;
}

void BM_ReadOnly(benchmark::State& state) {
    for (auto _ : state) {
        EvictIfCold(state);
        benchmark::DoNotOptimize(ReadFiles<false>(folder.files));
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(folder.bytes));
}

void BM_ByteLoopCrc(benchmark::State& state) {
    for (auto _ : state) {
        EvictIfCold(state);
        benchmark::DoNotOptimize(ReadFiles<true>(folder.sample));
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(folder.sampleBytes));
}

std::string RoundName(const char* what, int round) {
    return std::string(what) + "/round:" + std::to_string(round);
}

void PrintRatios(const khub::bench::RunRecorder& recorder, int rounds) {
    auto gbps = [&](const std::string& name) { return recorder.Get(name).bytesPerSecond / 1e9; };
    double gb = folder.bytes / 1e9;
    std::printf("\nfolder bytes per second, wall clock and CPU (all threads):\n");
    std::vector<double> ratios;
    for (int round = 1; round <= rounds; ++round) {
        for (const char* what : {"ReadOnly", "ScanCold"}) {
            std::string name = RoundName(what, round);
            double cpu = recorder.Get(name).cpuSeconds;
            std::printf("  %-18s %8.2f GB/s wall %8.2f GB/s CPU %10.1f ms wall\n", name.c_str(),
                        gbps(name), cpu > 0 ? gb / cpu : 0.0, recorder.Get(name).realSeconds * 1e3);
        }
        double read = gbps(RoundName("ReadOnly", round));
        if (read > 0) ratios.push_back(gbps(RoundName("ScanCold", round)) / read);
    }
    std::printf("  %-18s %8.2f GB/s wall\n", "ByteLoopCrc", gbps("ByteLoopCrc"));
    std::printf("  %-18s %8.2f GB/s wall %10.1f ms wall\n", "ScanWarm", gbps("ScanWarm"),
                recorder.Get("ScanWarm").realSeconds * 1e3);
    if (ratios.empty()) return;
    std::vector<double> sorted = ratios;
    std::sort(sorted.begin(), sorted.end());
    std::printf("ratios:\n  cold scan / reading alone, by round:");
    for (double r : ratios) std::printf(" %.2f", r);
    std::printf("\n  cold scan / reading alone, min %.2f median %.2f max %.2f\n", sorted.front(),
                sorted[(sorted.size() - 1) / 2], sorted.back());
    double scan = gbps(RoundName("ScanCold", rounds));
    if (gbps("ByteLoopCrc") > 0) {
        std::printf("  cold scan / byte-loop CRC     %8.2f\n", scan / gbps("ByteLoopCrc"));
    }
    if (scan > 0 && gbps("ScanWarm") > 0) {
        std::printf("  warm scan / cold scan         %8.1f\n", gbps("ScanWarm") / scan);
    }
}

}  // namespace

int main(int argc, char** argv) {
    int files = 3500, minKib = 256, maxKib = 4096, rounds = 3;
    std::string dirArg;
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a.rfind("--files=", 0) == 0)
            files = std::atoi(a.c_str() + 8);
        else if (a.rfind("--min-kib=", 0) == 0)
            minKib = std::atoi(a.c_str() + 10);
        else if (a.rfind("--max-kib=", 0) == 0)
            maxKib = std::atoi(a.c_str() + 10);
        else if (a.rfind("--dir=", 0) == 0)
            dirArg = a.substr(6);
        else if (a.rfind("--rounds=", 0) == 0)
            rounds = std::atoi(a.c_str() + 9);
        else if (a == "--evict")
            folder.evict = true;
        else if (a == "--quick")
            files = 200;
        else
            rest.push_back(argv[i]);
    }
    if (files < 1 || minKib < 1 || maxKib < minKib || rounds < 1) {
        std::fprintf(stderr, "bad folder size or rounds\n");
        return 2;
    }
    fs::path base = dirArg.empty() ? fs::temp_directory_path() /
                                         ("rom_scan_bench." + std::to_string(::getpid()))
                                   : fs::path(dirArg);
    folder.dir = base / "roms";
    folder.owned = dirArg.empty();
    fs::create_directories(folder.dir);
    Generate(files, minKib, maxKib);
    // Written data must be on disk before anything is timed, or the first run pays for it;
    // and without --evict the whole folder is in the page cache before the first round.
    ::sync();
    if (!folder.evict) ReadFiles<false>(folder.files);
    std::printf("folder: %d files, %.2f GB in %s; %s\n", files, folder.bytes / 1e9,
                folder.dir.c_str(),
                folder.evict ? "read from the device every pass" : "page-cached");

    auto add = [](const std::string& name, void (*fn)(benchmark::State&)) {
        benchmark::RegisterBenchmark(name.c_str(), fn)
            ->Unit(benchmark::kMillisecond)
            ->MinTime(1.0)
            ->UseRealTime()
            ->MeasureProcessCPUTime();  // the scan's readers are threads of their own
    };
    for (int round = 1; round <= rounds; ++round) {
        add(RoundName("ReadOnly", round), BM_ReadOnly);
        add(RoundName("ScanCold", round), BM_ScanCold);
    }
    add("ByteLoopCrc", BM_ByteLoopCrc);
    add("ScanWarm", BM_ScanWarm);

    int n = static_cast<int>(rest.size());
    khub::bench::RunWithRatios(n, rest.data(), [rounds](const khub::bench::RunRecorder& recorder) {
        PrintRatios(recorder, rounds);
    });
    if (folder.owned) fs::remove_all(base);
    return 0;
}
