// One copy of the terminal front end in a big, busy channel: 10,000 users, 1,000 voiced
// hosts each announcing a game, then a burst of 100,000 lines (chat, re-announcements,
// voice changes, joins and parts). While the burst runs, a command typed at the copy
// (`raw`, which the lobby thread sends to the server) must come out within 100 ms.
//
// Commands are typed every few milliseconds from the first burst line until the copy has
// handled the last one, so the whole burst is covered, not only its start. The reference
// is the same command on a copy in an idle channel of ten, measured in the same run; the
// program prints median, 99th percentile and worst latency against it as ratios, and both
// copies' peak resident memory.
//
//   build/bench/load_bench                      (needs build/k-hub-cli)

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/VictimCopy.h"

using khub::test::VictimCopy;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kUsers = 10000;
constexpr int kHosts = 1000;
constexpr int kBurstLines = 100000;
constexpr int kBursts = 3;
constexpr int kIdleProbes = 300;
constexpr auto kProbeGap = std::chrono::milliseconds(3);
constexpr auto kWait = std::chrono::milliseconds(60000);

std::string Bot(int i) {
    return "bot" + std::to_string(i);
}
std::string Prefix(int i) {
    return ":" + Bot(i) + "!KHubUser@127.0.0.1";
}

std::vector<std::string> Members(int users) {
    std::vector<std::string> members;
    for (int i = 0; i < users; ++i) members.push_back((i < kHosts ? "+" : "") + Bot(i));
    return members;
}

double ProbeSeconds(VictimCopy& copy) {
    auto took = copy.Probe(kWait, false);
    if (!took) throw std::runtime_error("the copy did not answer a command within 60 s");
    return std::chrono::duration<double>(*took).count();
}

std::string HostAnnouncements() {
    std::string out;
    for (int i = 0; i < kHosts; ++i) {
        out += Prefix(i) + " NOTICE @#K-HubI :+ K-Hub-3|HOST|Game number " + std::to_string(i) +
               "\r\n";
    }
    return out;
}

std::string BurstChunk(int first, int count) {
    std::string out;
    for (int n = first; n < first + count; ++n) {
        int who = kHosts + n % (kUsers - kHosts);
        switch (n % 10) {
            case 0:
                out += Prefix(n % kHosts) + " NOTICE @#K-HubI :+ K-Hub-3|HOST|Game number " +
                       std::to_string(n % kHosts) + "|" + Bot(who) + "\r\n";
                break;
            case 1:
                out += ":irc.test.local MODE #K-HubI +v " + Bot(who) + "\r\n";
                break;
            case 2:
                out += ":irc.test.local MODE #K-HubI -v " + Bot(who) + "\r\n";
                break;
            case 3:
                out += Prefix(who) + " PART #K-HubI\r\n" + Prefix(who) + " JOIN :#K-HubI\r\n";
                break;
            default:
                out += Prefix(who) + " PRIVMSG #K-HubI :line " + std::to_string(n) +
                       " of the burst, with some words to make it a chat line\r\n";
        }
    }
    return out;
}

struct Latencies {
    std::vector<double> seconds;
    long peakRssKib = 0;

    double Quantile(double q) const {
        if (seconds.empty()) return 0;
        std::vector<double> v = seconds;
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1,
                          static_cast<std::size_t>(q * static_cast<double>(v.size())))];
    }
    double Median() const { return Quantile(0.5); }
    double P99() const { return Quantile(0.99); }
    double Worst() const {
        return seconds.empty() ? 0 : *std::max_element(seconds.begin(), seconds.end());
    }
};

Latencies idle, busy;

void Report(benchmark::State& state, const Latencies& l) {
    state.counters["median_ms"] = l.Median() * 1000;
    state.counters["p99_ms"] = l.P99() * 1000;
    state.counters["worst_ms"] = l.Worst() * 1000;
    state.counters["probes"] = static_cast<double>(l.seconds.size());
    state.counters["peak_rss_MiB"] = static_cast<double>(l.peakRssKib) / 1024;
}

void BM_CommandInIdleChannel(benchmark::State& state) {
    VictimCopy copy(Members(10));
    for (auto _ : state) {
        for (int i = 0; i < kIdleProbes; ++i) {
            std::this_thread::sleep_for(kProbeGap);
            idle.seconds.push_back(ProbeSeconds(copy));
        }
        state.SetIterationTime(idle.Median());
    }
    idle.peakRssKib = copy.cli.PeakRssKib();
    Report(state, idle);
}

// Each iteration is one burst; its time is the median command latency during it.
void BM_CommandDuringBurstIn10kChannel(benchmark::State& state) {
    VictimCopy copy(Members(kUsers));
    copy.server.Send(HostAnnouncements());
    if (!copy.Probe(kWait, true)) {  // every announcement has been taken
        state.SkipWithError("the copy did not take the announcements");
        return;
    }
    double handledSeconds = 0;
    for (auto _ : state) {
        std::atomic<bool> handled{false};
        std::atomic<bool> failed{false};
        auto start = Clock::now();
        std::thread burster([&] {
            for (int sent = 0; sent < kBurstLines; sent += 500) {
                if (!copy.server.Send(BurstChunk(sent, 500))) failed = true;
            }
            // The copy answers this ping only after every burst line before it.
            if (!copy.server.Sync(kWait)) failed = true;
            handled = true;
        });
        std::vector<double> during;
        while (!handled) {
            std::this_thread::sleep_for(kProbeGap);
            during.push_back(ProbeSeconds(copy));
        }
        burster.join();
        handledSeconds += std::chrono::duration<double>(Clock::now() - start).count();
        if (failed) {
            state.SkipWithError("the burst did not reach the copy");
            return;
        }
        std::sort(during.begin(), during.end());
        state.SetIterationTime(during.empty() ? 0 : during[during.size() / 2]);
        busy.seconds.insert(busy.seconds.end(), during.begin(), during.end());
    }
    busy.peakRssKib = copy.cli.PeakRssKib();
    Report(state, busy);
    state.counters["burst_lines_per_s"] =
        handledSeconds > 0 ? kBurstLines * static_cast<double>(state.iterations()) / handledSeconds
                           : 0;
    if (!copy.server.ClientConnected()) state.SkipWithError("the copy lost its connection");
}

}  // namespace

BENCHMARK(BM_CommandInIdleChannel)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CommandDuringBurstIn10kChannel)
    ->UseManualTime()
    ->Iterations(kBursts)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (idle.seconds.empty() || busy.seconds.empty()) return 0;
    auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    std::printf("command latency (ms)   idle      burst     ratio\n");
    std::printf("  median            %8.2f  %8.2f  %8.1f\n", idle.Median() * 1000,
                busy.Median() * 1000, ratio(busy.Median(), idle.Median()));
    std::printf("  99th percentile   %8.2f  %8.2f  %8.1f\n", idle.P99() * 1000, busy.P99() * 1000,
                ratio(busy.P99(), idle.P99()));
    std::printf("  worst             %8.2f  %8.2f  %8.1f\n", idle.Worst() * 1000,
                busy.Worst() * 1000, ratio(busy.Worst(), idle.Worst()));
    std::printf("  probes            %8zu  %8zu\n", idle.seconds.size(), busy.seconds.size());
    std::printf("peak RSS (MiB)      %8.1f  %8.1f  %8.1f\n",
                static_cast<double>(idle.peakRssKib) / 1024,
                static_cast<double>(busy.peakRssKib) / 1024,
                ratio(static_cast<double>(busy.peakRssKib), static_cast<double>(idle.peakRssKib)));
    std::printf("worst command during the bursts: %.1f ms (goal 100 ms: %s)\n", busy.Worst() * 1000,
                busy.Worst() <= 0.1 ? "met" : "MISSED");
    return 0;
}
