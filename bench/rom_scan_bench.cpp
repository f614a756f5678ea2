// How fast the ROM catalogue answers a GAME for a folder it has to read completely:
// the scan without a CRC cache (cold), with a filled cache (warm), reading alone (the
// floor any scan needs) and the byte-at-a-time table CRC, all on one generated folder in
// one run, printed as GB/s and as ratios.
//
//   rom_scan_bench [--files=N] [--min-kib=K] [--max-kib=K] [--dir=PATH] [benchmark flags]
//   defaults: 3500 files of 256 KiB to 4 MiB (about 7.5 GB); --quick is 200 files.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

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
    std::uint64_t bytes = 0;
    std::vector<fs::path> files;
};
Folder folder;

void Generate(int count, int minKib, int maxKib) {
    std::mt19937_64 gen(42);
    std::uniform_int_distribution<int> kib(minKib, maxKib);
    std::vector<std::uint64_t> block(1 << 17);  // 1 MiB
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "rom%05d.smc", i);
        fs::path path = folder.dir / name;
        std::size_t size = std::size_t(kib(gen)) * 1024;
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
        folder.bytes += size;
        folder.files.push_back(path);
    }
}

// A CRC no file has, so every scan reads the whole folder.
const std::string kAbsent = "00000001";

void BM_ScanCold(benchmark::State& state) {
    for (auto _ : state) {
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
void ReadAll(benchmark::State& state) {
    std::unique_ptr<unsigned char[]> buf(new unsigned char[1 << 20]);
    for (auto _ : state) {
        std::uint32_t crc = 0;
        for (const auto& path : folder.files) {
            int fd = ::open(path.c_str(), O_RDONLY);
            for (ssize_t n; (n = ::read(fd, buf.get(), 1 << 20)) > 0;) {
                if (kCrc)
                    crc = Crc32Bytewise(crc, buf.get(), std::size_t(n));
                else
                    benchmark::DoNotOptimize(buf[0]);
            }
            ::close(fd);
        }
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(folder.bytes));
}

}  // namespace

int main(int argc, char** argv) {
    int files = 3500, minKib = 256, maxKib = 4096;
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
        else if (a == "--quick")
            files = 200;
        else
            rest.push_back(argv[i]);
    }
    if (files < 1 || minKib < 1 || maxKib < minKib) {
        std::fprintf(stderr, "bad folder size\n");
        return 2;
    }
    fs::path base = dirArg.empty() ? fs::temp_directory_path() /
                                         ("rom_scan_bench." + std::to_string(::getpid()))
                                   : fs::path(dirArg);
    folder.dir = base / "roms";
    folder.owned = dirArg.empty();
    fs::create_directories(folder.dir);
    Generate(files, minKib, maxKib);
    // Written data must be on disk before anything is timed, or the first run pays for it.
    ::sync();
    std::printf("folder: %d files, %.2f GB in %s\n", files, folder.bytes / 1e9, folder.dir.c_str());

    // Reading alone first: it also brings the folder into the page cache the same way for
    // every run after it.
    auto add = [](const char* name, void (*fn)(benchmark::State&)) {
        benchmark::RegisterBenchmark(name, fn)
            ->Unit(benchmark::kMillisecond)
            ->MinTime(1.0)
            ->UseRealTime();
    };
    add("ReadOnly", ReadAll<false>);
    add("ScanCold", BM_ScanCold);
    add("ByteLoopCrc", ReadAll<true>);
    add("ScanWarm", BM_ScanWarm);

    int n = static_cast<int>(rest.size());
    benchmark::Initialize(&n, rest.data());
    khub::bench::RunRecorder reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    auto gbps = [&](const char* name) { return reporter.Get(name).bytesPerSecond / 1e9; };
    double gb = folder.bytes / 1e9;
    std::printf("\nfolder bytes per second, wall clock and CPU; one pass over the folder:\n");
    for (const char* name : {"ReadOnly", "ScanCold", "ByteLoopCrc", "ScanWarm"}) {
        double cpu = reporter.Get(name).cpuSeconds;
        std::printf("  %-12s %8.2f GB/s wall %8.2f GB/s CPU %10.1f ms wall\n", name, gbps(name),
                    cpu > 0 ? gb / cpu : 0.0, reporter.Get(name).realSeconds * 1e3);
    }
    if (gbps("ReadOnly") > 0 && gbps("ByteLoopCrc") > 0) {
        std::printf("ratios:\n");
        std::printf("  cold scan / reading alone     %8.2f\n", gbps("ScanCold") / gbps("ReadOnly"));
        std::printf("  cold scan / byte-loop CRC     %8.2f\n",
                    gbps("ScanCold") / gbps("ByteLoopCrc"));
        std::printf("  warm scan / cold scan         %8.1f\n", gbps("ScanWarm") / gbps("ScanCold"));
    }
    if (folder.owned) fs::remove_all(base);
    return 0;
}
