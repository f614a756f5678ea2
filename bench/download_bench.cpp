// What a player waits for a ROM: from the Download press to the complete file, for two
// programs in this process, over loopback and over a link with a 10 ms and a 50 ms round
// trip. Every IRC line between them (GET, the DCC offer, RESUME, ACCEPT) is held for the
// one-way delay, as if the server sat on the path and added nothing; the DCC connection
// goes through a relay with the same delay each way. The reference is raw TCP: the same
// bytes through the same kind of relay, connect to last byte, in the same run. Prints the
// ratio and how many round trips the download takes beyond raw TCP.

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "DelayRelay.h"
#include "app/Program.h"
#include "irc/IrcDispatcher.h"
#include "lobby/Lobby.h"
#include "lobby/RomCatalogue.h"
#include "platform/RecordingUi.h"
#include "platform/ThreadEventLoop.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
using khub::bench::DelayRelay;

constexpr std::size_t kRomSize = 4 << 20;

std::string RomBytes() {
    std::mt19937 random(3);
    std::string s(kRomSize, '\0');
    for (auto& c : s) c = static_cast<char>(random());
    return s;
}

// Lines sent by one program reach the other after the one-way delay, on its loop thread,
// as the server would pass them on.
class LineRelay {
  public:
    using Deliver = std::function<void(const std::string& line)>;

    explicit LineRelay(std::chrono::milliseconds delay) : delay_(delay) {
        thread_ = std::thread([this] { Run(); });
    }
    ~LineRelay() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    void Carry(std::string line, Deliver deliver) {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back({Clock::now() + delay_, std::move(line), std::move(deliver)});
        }
        changed_.notify_all();
    }

  private:
    struct Item {
        Clock::time_point due;
        std::string line;
        Deliver deliver;
    };
    void Run() {
        std::unique_lock lock(mutex_);
        while (!stop_) {
            if (queue_.empty()) {
                changed_.wait(lock);
                continue;
            }
            if (Clock::now() < queue_.front().due) {
                changed_.wait_until(lock, queue_.front().due);
                continue;
            }
            Item item = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            item.deliver(item.line);
            lock.lock();
        }
    }

    std::chrono::milliseconds delay_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Item> queue_;
    bool stop_ = false;
    std::thread thread_;
};

// One program on a lobby thread of its own, with a ROM folder and settings file.
class Player {
  public:
    Player(const std::string& nick, int dccPort) : nick_(nick) {
        dir_ = fs::temp_directory_path() /
               ("khub-download-bench-" + nick + "-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "roms");
        std::ofstream(dir_ / "K-Hub.ini")
            << "[options]\nrompath=" << (dir_ / "roms").string() << "\nstartport=" << dccPort
            << "\nendport=" << dccPort << "\n";
        program_ = std::make_unique<khub::Program>(ui_, loop_, (dir_ / "K-Hub.ini").string());
        program_->conn.ownNick = nick;
        thread_ = std::thread([this] { loop_.Run(); });
    }
    ~Player() {
        loop_.Quit();
        thread_.join();
        program_.reset();
        fs::remove_all(dir_);
    }
    khub::Program& program() { return *program_; }
    khub::ThreadEventLoop& loop() { return loop_; }
    const std::string& nick() const { return nick_; }
    fs::path Rom(const std::string& name) const { return dir_ / "roms" / name; }

    // Runs f on the lobby thread and waits for it.
    template <class F>
    void OnLobby(F f) {
        std::promise<void> done;
        loop_.Post([&] {
            f();
            done.set_value();
        });
        done.get_future().wait();
    }

  private:
    std::string nick_;
    fs::path dir_;
    khub::RecordingUi ui_;
    khub::ThreadEventLoop loop_;
    std::unique_ptr<khub::Program> program_;
    std::thread thread_;
};

// Alice hosts Game.smc; Bob joined her game, lacks the ROM and will press Download.
class Download {
  public:
    explicit Download(std::chrono::milliseconds oneWay)
        : oneWay_(oneWay),
          port_(FreePort()),
          alice_("Alice", port_),
          bob_("Bob", port_),
          lines_(oneWay),
          rom_(RomBytes()) {
        std::ofstream(alice_.Rom("Game.smc"), std::ios::binary)
            .write(rom_.data(), static_cast<std::streamsize>(rom_.size()));
        std::string crc = khub::rom::CrcTextOfFile(alice_.Rom("Game.smc").string());
        alice_.OnLobby([&] {
            khub::Program& a = alice_.program();
            // The DCC connection comes in on 127.0.0.1; the offer names the relay's address.
            a.ownIpText = "127.0.0.2";
            a.transfer.timings.listenAddress = "127.0.0.1";
            a.windows.host = true;
            a.host.hostedGameName = "Game";
            a.host.hostRomFile = "Game.smc";
            a.host.hostRomCrc = crc;
            a.host.joinedClientNick = "Bob";
        });
        bob_.OnLobby([&] {
            khub::Program& b = bob_.program();
            b.windows.client = true;
            b.client.joinedHostNick = "Alice";
            b.client.joinConfirmed = true;
            b.client.wantedRomFile = "Game.smc";
            b.client.wantedRomCrc = crc;
        });
        Link(alice_, bob_);
        Link(bob_, alice_);
    }

    // One download; its time from the press to the complete file, or nothing on failure.
    std::optional<Clock::duration> Once() {
        fs::remove(bob_.Rom("Game.smc"));
        fs::remove(bob_.Rom("Game.smc.part"));
        {
            std::lock_guard lock(mutex_);
            complete_ = false;
        }
        DelayRelay dcc("127.0.0.2", port_, "127.0.0.1", port_, oneWay_);
        auto start = Clock::now();
        bob_.OnLobby([&] { khub::lobby::JoinDownload(bob_.program()); });
        std::unique_lock lock(mutex_);
        bool done = changed_.wait_for(lock, 30s, [&] { return complete_; });
        auto took = Clock::now() - start;
        lock.unlock();
        // Both ends settle (the last acknowledgements travel) before the next round.
        auto limit = Clock::now() + 30s;
        while (Clock::now() < limit && (alice_.program().transfer.transferInProgress ||
                                        bob_.program().transfer.transferInProgress)) {
            std::this_thread::sleep_for(1ms);
        }
        if (!done) return std::nullopt;
        return took;
    }

  private:
    static int FreePort() {
        int port = 0;
        int fd = khub::bench::ListenLoopback(port);
        ::close(fd);
        return port;
    }

    // What from sends reaches to through the line relay; Bob's MATCH YES ends a round.
    void Link(Player& from, Player& to) {
        from.program().conn.sendOverride = [this, &from, &to](std::string_view sent) -> long {
            std::string line(sent.substr(0, sent.find("\r\n")));
            if (&from == &bob_ && line.find("|MATCH|YES") != std::string::npos) {
                {
                    std::lock_guard lock(mutex_);
                    complete_ = true;
                }
                changed_.notify_all();
            }
            std::string prefix = line.rfind("PRIVMSG ", 0) == 0 || line.rfind("NOTICE ", 0) == 0
                                     ? ":" + from.nick() + "!u@127.0.0.1 "
                                     : "";
            if (!prefix.empty()) {
                lines_.Carry(prefix + line, [&to](const std::string& l) {
                    to.loop().Post([&to, l] { khub::DispatchIrcLine(to.program(), l); });
                });
            }
            return static_cast<long>(sent.size());
        };
        from.OnLobby([&] {
            from.program().users.AddUser(from.nick());
            from.program().users.AddUser(to.nick());
        });
    }

    std::chrono::milliseconds oneWay_;
    int port_;
    Player alice_;
    Player bob_;
    LineRelay lines_;
    std::string rom_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool complete_ = false;
};

void BM_Download(benchmark::State& state) {
    std::chrono::milliseconds oneWay(state.range(0) / 2);
    Download download(oneWay);
    for (auto _ : state) {
        auto took = download.Once();
        if (!took) {
            state.SkipWithError("the download did not complete");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(*took).count());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kRomSize));
}

// The same bytes over raw TCP through the same relay: connect to the last byte received.
void BM_RawTcp(benchmark::State& state) {
    std::chrono::milliseconds oneWay(state.range(0) / 2);
    const std::string data = RomBytes();
    for (auto _ : state) {
        int port = 0;
        int listenFd = khub::bench::ListenLoopback(port);
        auto relay = oneWay.count() > 0 ? std::make_unique<DelayRelay>(port, oneWay) : nullptr;
        std::thread sender([&] {
            int fd = ::accept(listenFd, nullptr, nullptr);
            std::size_t sent = 0;
            while (sent < data.size()) {
                ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += static_cast<std::size_t>(n);
            }
            ::close(fd);
        });
        auto start = Clock::now();
        int fd = khub::bench::ConnectLoopback(relay ? relay->Port() : port);
        std::vector<char> buf(64 * 1024);
        std::size_t received = 0;
        while (received < data.size()) {
            ssize_t n = ::recv(fd, buf.data(), buf.size(), 0);
            if (n <= 0) break;
            received += static_cast<std::size_t>(n);
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        ::close(fd);
        sender.join();
        relay.reset();
        ::close(listenFd);
        if (received != data.size()) {
            state.SkipWithError("raw TCP lost bytes");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kRomSize));
}

// Round trips in ms: loopback, 10 and 50.
BENCHMARK(BM_Download)
    ->Arg(0)
    ->Arg(10)
    ->Arg(50)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawTcp)->Arg(0)->Arg(10)->Arg(50)->Iterations(5)->UseManualTime()->Unit(
    benchmark::kMillisecond);

void PrintRatios(const khub::bench::RunRecorder& recorder) {
    std::printf(
        "\n4 MiB, Download press to complete file, against raw TCP through the same link:\n");
    for (int rtt : {0, 10, 50}) {
        std::string arg = "/" + std::to_string(rtt);
        auto download = recorder.Get("BM_Download" + arg + "/iterations:3/manual_time");
        auto raw = recorder.Get("BM_RawTcp" + arg + "/iterations:5/manual_time");
        if (download.realSeconds <= 0 || raw.realSeconds <= 0) continue;
        double extraMs = (download.realSeconds - raw.realSeconds) * 1e3;
        std::printf("  %2d ms round trip: download %8.1f ms  raw TCP %7.1f ms  ratio %6.2f", rtt,
                    download.realSeconds * 1e3, raw.realSeconds * 1e3,
                    download.realSeconds / raw.realSeconds);
        if (rtt > 0) {
            std::printf("  beyond raw TCP: %.1f round trips (goal at most 6)", extraMs / rtt);
        }
        std::printf("\n");
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    khub::bench::RunWithRatios(argc, argv, PrintRatios);
    return 0;
}
