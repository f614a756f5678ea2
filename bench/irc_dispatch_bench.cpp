// Dispatcher throughput against the floor of just cutting the same bytes into lines:
// a mix of channel traffic captured from ircd-ircu, and a NAMES burst of 10,000 users.
// Prints the cost of dispatching relative to splitting, measured in the same run.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "BenchSupport.h"
#include "app/Program.h"
#include "irc/IrcDispatcher.h"
#include "irc/LineSplitter.h"
#include "platform/ManualEventLoop.h"
#include "platform/RecordingUi.h"

namespace {

using namespace khub;

// The channel part of a captured session (after registration), as bytes on the wire.
std::string CapturedMix() {
    std::ifstream in(std::string(KHUB_TEST_DATA_DIR) + "/ircu_session.txt", std::ios::binary);
    std::string line, mix;
    bool inChannel = false;
    while (std::getline(in, line)) {
        if (line.find(" 366 ") != std::string::npos) {
            inChannel = true;
            continue;
        }
        // Our own nick change at the end would make the replay a nick collision each round.
        if (inChannel && line.find(" 433 ") == std::string::npos) mix += line + "\n";
    }
    if (mix.empty()) std::fprintf(stderr, "no captured session found\n");
    return mix;
}

// What ircu sends for a channel of 10,000: 353 lines of about 480 bytes, then 366.
std::string NamesBurst(int users) {
    std::string bytes, line;
    const std::string head = ":irc.test.local 353 Alice = #K-HubI :";
    for (int i = 0; i < users; ++i) {
        std::string name = (i % 3 == 0    ? "+"
                            : i % 97 == 0 ? "@"
                                          : "") +
                           std::string("player") + std::to_string(i);
        if (line.size() + name.size() > 440) {
            bytes += head + line + "\r\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + name;
    }
    bytes += head + line + "\r\n:irc.test.local 366 Alice #K-HubI :End of /NAMES list.\r\n";
    return bytes;
}

struct Fixture {
    Fixture() {
        ui.SetKeepHistory(false);
        program.conn.sendOverride = [](std::string_view bytes) {
            return static_cast<long>(bytes.size());
        };
        program.conn.ownNick = "Alice";
        program.conn.channelJoinSent = true;
        program.conn.registrationSent = true;
    }
    RecordingUi ui;
    ManualEventLoop loop;
    Program program{ui, loop, "/nonexistent/K-Hub I/K-Hub.ini"};
};

std::size_t CountLines(const std::string& bytes) {
    std::size_t n = 0;
    for (char c : bytes) n += c == '\n';
    return n;
}

void SplitOnly(benchmark::State& state, const std::string& bytes) {
    std::size_t total = 0;
    for (auto _ : state) {
        LineSplitter splitter;
        splitter.Feed(
            bytes, [&](std::string_view line) { total += line.size(); }, [](std::size_t) {});
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * CountLines(bytes)));
}

void SplitAndDispatch(benchmark::State& state, const std::string& bytes, bool freshChannel) {
    Fixture f;
    for (auto _ : state) {
        if (freshChannel) {
            state.PauseTiming();
            f.program.users.Clear();
            state.ResumeTiming();
        }
        LineSplitter splitter;
        splitter.Feed(
            bytes, [&](std::string_view line) { DispatchIrcLine(f.program, line); },
            [](std::size_t) {});
        f.loop.RunPending();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * CountLines(bytes)));
}

const std::string& Mix() {
    static const std::string mix = CapturedMix();
    return mix;
}
const std::string& Names() {
    static const std::string names = NamesBurst(10000);
    return names;
}

void BM_Mix_SplitOnly(benchmark::State& s) {
    SplitOnly(s, Mix());
}
void BM_Mix_Dispatch(benchmark::State& s) {
    SplitAndDispatch(s, Mix(), false);
}
void BM_Names10k_SplitOnly(benchmark::State& s) {
    SplitOnly(s, Names());
}
void BM_Names10k_Dispatch(benchmark::State& s) {
    SplitAndDispatch(s, Names(), true);
}

BENCHMARK(BM_Mix_SplitOnly);
BENCHMARK(BM_Mix_Dispatch);
BENCHMARK(BM_Names10k_SplitOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Names10k_Dispatch)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    khub::bench::RunRecorder reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* dispatch, const char* split) {
        double d = reporter.Get(dispatch).realSeconds, s = reporter.Get(split).realSeconds;
        if (d <= 0 || s <= 0) return;
        std::printf("%-24s %8.1fx the cost of splitting the same bytes into lines\n", dispatch,
                    d / s);
    };
    std::printf("\nCaptured mix: %zu lines; NAMES burst: %zu lines for 10000 users\n",
                CountLines(Mix()), CountLines(Names()));
    ratio("BM_Mix_Dispatch", "BM_Mix_SplitOnly");
    ratio("BM_Names10k_Dispatch", "BM_Names10k_SplitOnly");
    benchmark::Shutdown();
    return 0;
}
