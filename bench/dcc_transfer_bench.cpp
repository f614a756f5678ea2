// ROM transfer throughput: our windowed sender against the plain stop-and-wait sender
// (one 1024-byte block, then wait for its acknowledgement), both into our receiver, in the
// same run. Once straight over loopback, once through a relay on loopback that delays
// every piece of data by a fixed time in each direction (a stand-in for a real link; the
// kernel here has no netem). Prints MB/s and the ratio of the two senders.

#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "DelayRelay.h"
#include "transfer/DccIo.h"
#include "transfer/DccMessages.h"

namespace {

using namespace khub::transfer;
using khub::bench::ConnectLoopback;
using khub::bench::DelayRelay;
using khub::bench::ListenLoopback;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

const fs::path& SourceFile(std::size_t size) {
    static std::map<std::size_t, fs::path> files;
    auto& path = files[size];
    if (path.empty()) {
        path = fs::temp_directory_path() /
               ("khub-dcc-bench-" + std::to_string(::getpid()) + "-" + std::to_string(size));
        std::mt19937 random(1);
        std::vector<char> data(size);
        for (auto& c : data) c = static_cast<char>(random());
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
    }
    return path;
}

// The plain sender: one block, then its acknowledgement, and so on.
bool StopAndWaitSend(int fd, std::FILE* file, std::uint64_t size) {
    char block[1024];
    std::uint64_t position = 0;
    while (position < size) {
        std::size_t n = std::fread(block, 1, sizeof block, file);
        if (n == 0 || ::send(fd, block, n, MSG_NOSIGNAL) != static_cast<ssize_t>(n)) return false;
        position += n;
        unsigned char ack[4];
        std::size_t got = 0;
        while (got < 4) {
            ssize_t r = ::recv(fd, ack + got, 4 - got, 0);
            if (r <= 0) return false;
            got += static_cast<std::size_t>(r);
        }
        std::uint32_t v = (std::uint32_t{ack[0]} << 24) | (std::uint32_t{ack[1]} << 16) |
                          (std::uint32_t{ack[2]} << 8) | ack[3];
        if (v != static_cast<std::uint32_t>(position)) return false;
    }
    return true;
}

// One transfer of size bytes; true when the receiver got all of it.
bool TransferOnce(std::size_t size, bool windowed, std::chrono::milliseconds delay) {
    int port = 0;
    int listenFd = ListenLoopback(port);
    std::unique_ptr<DelayRelay> relay;
    int connectPort = port;
    if (delay.count() > 0) {
        relay = std::make_unique<DelayRelay>(port, delay);
        connectPort = relay->Port();
    }
    std::atomic<bool> sendOk{false};
    std::thread sender([&] {
        int fd = ::accept(listenFd, nullptr, nullptr);
        std::FILE* file = std::fopen(SourceFile(size).c_str(), "rb");
        if (windowed) {
            DccCancel cancel;
            SendResult r =
                RunSendLoop(fd, file, 0, size, DccLoopOptions{}, cancel, [](std::uint64_t) {});
            sendOk = r.end == SendEnd::Finished;
        } else {
            sendOk = StopAndWaitSend(fd, file, size);
        }
        std::fclose(file);
        ::close(fd);
    });
    int fd = ConnectLoopback(connectPort);
    fs::path target = SourceFile(size).string() + ".received";
    std::FILE* out = std::fopen(target.c_str(), "wb");
    DccCancel cancel;
    ReceiveResult r = RunReceiveLoop(
        fd, out, 0, size, DccLoopOptions{}, cancel, [](std::uint64_t) {}, [] {});
    std::fclose(out);
    ::close(fd);
    sender.join();
    relay.reset();
    ::close(listenFd);
    fs::remove(target);
    return sendOk && r.end == ReceiveEnd::Complete;
}

void BM_Transfer(benchmark::State& state, bool windowed, int delayMs) {
    auto size = static_cast<std::size_t>(state.range(0));
    SourceFile(size);
    for (auto _ : state) {
        if (!TransferOnce(size, windowed, std::chrono::milliseconds(delayMs))) {
            state.SkipWithError("transfer failed");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

// Loopback: both senders, 4 MiB and 64 MiB.
BENCHMARK_CAPTURE(BM_Transfer, windowed_loopback, true, 0)
    ->Arg(4 << 20)
    ->Arg(64 << 20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Transfer, stop_and_wait_loopback, false, 0)
    ->Arg(4 << 20)
    ->Arg(64 << 20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// A 10 ms round trip through the delaying relay; the plain sender needs a round trip per
// KiB, so the reference is kept small (512 KiB takes it about 5 s).
BENCHMARK_CAPTURE(BM_Transfer, windowed_delayed_10ms_rtt, true, 5)
    ->Arg(512 << 10)
    ->Arg(4 << 20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);
BENCHMARK_CAPTURE(BM_Transfer, stop_and_wait_delayed_10ms_rtt, false, 5)
    ->Arg(512 << 10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// Windowed against stop-and-wait for each of the three cases measured.
void PrintRatios(const khub::bench::RunRecorder& recorder) {
    auto show = [&](const std::string& ours, const std::string& reference, const char* label) {
        double a = recorder.Get(ours).bytesPerSecond, b = recorder.Get(reference).bytesPerSecond;
        if (a <= 0 || b <= 0) return;
        std::printf("%-34s windowed %9.2f MB/s  stop-and-wait %9.2f MB/s  ratio %8.1fx\n", label,
                    a / 1e6, b / 1e6, a / b);
    };
    show("BM_Transfer/windowed_loopback/4194304/real_time",
         "BM_Transfer/stop_and_wait_loopback/4194304/real_time", "loopback, 4 MiB");
    show("BM_Transfer/windowed_loopback/67108864/real_time",
         "BM_Transfer/stop_and_wait_loopback/67108864/real_time", "loopback, 64 MiB");
    show("BM_Transfer/windowed_delayed_10ms_rtt/524288/iterations:2/real_time",
         "BM_Transfer/stop_and_wait_delayed_10ms_rtt/524288/iterations:1/real_time",
         "10 ms round trip, 512 KiB");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    khub::bench::RunWithRatios(argc, argv, PrintRatios);
    for (std::size_t size : {std::size_t{512} << 10, std::size_t{4} << 20, std::size_t{64} << 20}) {
        fs::remove(SourceFile(size));
    }
    return 0;
}
