// How long k-hub-cli takes from "connect" to "K-Hub I - N users online" on each IRC server
// the lobby plays on, each started on loopback as the integration tests start it; ircd-ircu,
// the lobby's own server family, is the reference the others are compared with.
//
// KHUB_BENCH_CLI=/path/to/k-hub-cli measures another build of the program (an older one,
// for a before-and-after comparison).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "support/CliProcess.h"
#include "support/PackagedIrcd.h"

namespace {

using khub::test::CliProcess;
using khub::test::IrcdKind;
using khub::test::IrcdName;

std::map<IrcdKind, double> medianSeconds;

std::string Program() {
    const char* other = std::getenv("KHUB_BENCH_CLI");
    return other && *other ? other : KHUB_CLI_PATH;
}

void BM_ConnectToUsersOnline(benchmark::State& state) {
    const auto kind = static_cast<IrcdKind>(state.range(0));
    khub::test::PackagedIrcd server(kind);
    if (!server.ok()) return state.SkipWithError(server.error().c_str());
    const int port = server.port();
    std::vector<double> seconds;
    int player = 0;
    for (auto _ : state) {
        CliProcess cli(CliProcess::PlayerSettings("Player" + std::to_string(++player), port),
                       std::vector<std::string>{Program()});
        cli.WaitForLine("title: K-Hub I - not connected");
        auto began = std::chrono::steady_clock::now();
        cli.Send("connect");
        if (!cli.WaitForText("users online", std::chrono::seconds(30))) {
            return state.SkipWithError("no \"users online\" within 30 s");
        }
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
        state.SetIterationTime(took.count());
        seconds.push_back(took.count());
    }
    std::sort(seconds.begin(), seconds.end());
    medianSeconds[kind] = seconds[seconds.size() / 2];
    state.SetLabel(IrcdName(kind));
}

BENCHMARK(BM_ConnectToUsersOnline)
    ->DenseRange(static_cast<int>(IrcdKind::Ircu), static_cast<int>(IrcdKind::Hybrid))
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    auto reference = medianSeconds.find(IrcdKind::Ircu);
    std::printf("connect to \"users online\", median of 5 (ms)   ratio to ircu\n");
    for (const auto& [kind, median] : medianSeconds) {
        std::printf("  %-10s %10.0f   %6.2f\n", IrcdName(kind).c_str(), median * 1000,
                    reference != medianSeconds.end() && reference->second > 0
                        ? median / reference->second
                        : 0.0);
    }
    return 0;
}
