// One copy of the terminal front end in a big, busy channel: 10,000 users, 1,000 voiced
// hosts each announcing a game, then a burst of 100,000 lines (chat, re-announcements,
// voice changes, joins and parts). While the burst runs, a command typed at the copy
// (`raw`, which the lobby thread sends to the server) must come out within 100 ms.
//
// The reference is the same command on a copy in an idle channel of ten, measured in the
// same run; the program prints the ratio and the copy's peak resident memory.
//
//   build/bench/load_bench                      (needs build/k-hub-cli)

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/VictimCopy.h"

using khub::test::VictimCopy;

namespace {

constexpr int kUsers = 10000;
constexpr int kHosts = 1000;
constexpr int kBurstLines = 100000;
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

std::chrono::duration<double> Probe(VictimCopy& copy) {
    auto took = copy.Probe(kWait, false);
    if (!took) throw std::runtime_error("the copy did not answer a command within 60 s");
    return *took;
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

std::vector<double> idleSeconds, loadSeconds;
long peakRssKib = 0;

void BM_CommandInIdleChannel(benchmark::State& state) {
    static VictimCopy copy(Members(10));
    for (auto _ : state) {
        auto took = Probe(copy);
        idleSeconds.push_back(took.count());
        state.SetIterationTime(took.count());
    }
}

void BM_CommandDuringBurstIn10kChannel(benchmark::State& state) {
    static VictimCopy copy(Members(kUsers));
    static bool announced = false;
    if (!announced) {
        copy.server.Send(HostAnnouncements());
        Probe(copy);  // every announcement has been taken when the probe comes back
        announced = true;
    }
    std::atomic<bool> done{false};
    std::thread burster([&] {
        for (int sent = 0; sent < kBurstLines && !done; sent += 500) {
            copy.server.Send(BurstChunk(sent, 500));
        }
    });
    double worst = 0;
    for (auto _ : state) {
        auto took = Probe(copy);
        worst = std::max(worst, took.count());
        loadSeconds.push_back(took.count());
        state.SetIterationTime(took.count());
    }
    done = true;
    burster.join();
    Probe(copy);
    state.counters["worst_ms"] = worst * 1000;
    peakRssKib = std::max(peakRssKib, copy.cli->PeakRssKib());
    state.counters["peak_rss_MiB"] = static_cast<double>(peakRssKib) / 1024;
    if (!copy.server.ClientConnected()) state.SkipWithError("the copy lost its connection");
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

BENCHMARK(BM_CommandInIdleChannel)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CommandDuringBurstIn10kChannel)
    ->UseManualTime()
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!idleSeconds.empty() && !loadSeconds.empty()) {
        double idle = Median(idleSeconds), load = Median(loadSeconds);
        double worst = *std::max_element(loadSeconds.begin(), loadSeconds.end());
        std::printf(
            "command latency: idle median %.2f ms, under burst median %.2f ms (ratio %.1f), "
            "worst %.2f ms (limit 100 ms: %s); peak RSS of the busy copy %.1f MiB\n",
            idle * 1000, load * 1000, idle > 0 ? load / idle : 0.0, worst * 1000,
            worst <= 0.1 ? "met" : "MISSED", static_cast<double>(peakRssKib) / 1024);
    }
    return 0;
}
