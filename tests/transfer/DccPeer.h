#pragma once
// Two programs on one machine for transfer tests: each an IrcHarness with its own ROM folder
// and port range; the DCC lines one sends to the server go to the other's dispatcher.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ircu/LoopbackPort.h"
#include "lobby/RomCatalogue.h"
#include "support/IrcHarness.h"
#include "support/RandomBytes.h"
#include "transfer/DccHooks.h"
#include "transfer/DccMessages.h"
#include "transfer/Transfer.h"

namespace khub::transfer::testing {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using khub::test::RandomBytes;
using Lines = std::vector<std::string>;

inline void WriteFile(const fs::path& path, const std::string& bytes) {
    khub::test::WriteFileBytes(path.string(), bytes);
}

inline std::string ReadFile(const fs::path& path) {
    return khub::test::ReadFileBytes(path.string());
}

inline Lines Matching(const Lines& lines, const std::string& part) {
    Lines found;
    for (const auto& l : lines) {
        if (l.find(part) != std::string::npos) found.push_back(l);
    }
    return found;
}

class DccPeer : public khub::test::IrcHarness {
  public:
    DccPeer(std::string name, int port) : nick(std::move(name)) {
        fs::create_directories(Rom(""));
        program->Settings().SetString("options", "rompath", (dir.path() / "roms").string());
        program->Settings().SetInt("options", "startport", port);
        program->Settings().SetInt("options", "endport", port);
        program->conn.ownNick = nick;
        program->ownIpText = "127.0.0.1";
        program->transfer.timings.listenAddress = "127.0.0.1";
    }

    const std::string nick;
    fs::path Rom(const std::string& name) const { return dir.path() / "roms" / name; }

    // Lines sent since the last call, without their line end; AllSent keeps them all.
    Lines TakeSent() {
        Lines lines = IrcHarness::TakeSent();
        for (auto& l : lines) l.erase(l.find_last_not_of("\r\n") + 1);
        all_.insert(all_.end(), lines.begin(), lines.end());
        return lines;
    }
    // A line sent while the last Pump ended (an answer to the line it routed last) counts too.
    Lines AllSent() const {
        Lines lines = all_;
        for (std::string l : sent) lines.push_back(l.erase(l.find_last_not_of("\r\n") + 1));
        return lines;
    }
    bool Idle() const { return !program->transfer.transferInProgress; }
    void ForgetSent() {
        TakeSent();
        all_.clear();
    }

    bool Logged(const std::string& line) const { return Count(line) > 0; }
    std::ptrdiff_t Count(const std::string& line) const {
        return std::ranges::count(Log(), line + "\r\n");
    }

    // Takes from's DCC SEND offer of "Game.smc" (or name, as sent) on a loopback port.
    void TakeOffer(const std::string& from, int port, std::size_t size,
                   const std::string& name = "\"Game.smc\"") {
        HandleDccSend(
            *program, from,
            name + " 2130706433 " + std::to_string(port) + " " + std::to_string(size) + "\x01");
    }

  private:
    Lines all_;
};

// The CTCP line of a DCC verb ("RESUME", "ACCEPT") about Game.smc, as sent to to.
inline std::string DccLine(const std::string& verb, const std::string& to, int port,
                           std::size_t position) {
    return "PRIVMSG " + to + " :\x01" + "DCC " + verb + " \"Game.smc\" " + std::to_string(port) +
           " " + std::to_string(position) + "\x01";
}

// Runs the programs' loops, relays the DCC lines one sends to the other and moves their
// clocks on by step per round until done() holds; false after realLimit.
inline bool Pump(std::initializer_list<DccPeer*> peers, const std::function<bool()>& done,
                 std::chrono::milliseconds step = std::chrono::milliseconds(10),
                 std::chrono::milliseconds realLimit = std::chrono::seconds(20)) {
    auto limit = std::chrono::steady_clock::now() + realLimit;
    while (std::chrono::steady_clock::now() < limit) {
        for (DccPeer* p : peers) p->loop.AdvanceBy(step);
        for (DccPeer* from : peers) {
            for (const auto& line : from->TakeSent()) {
                for (DccPeer* to : peers) {
                    if (line.starts_with("PRIVMSG " + to->nick + " :\x01" + "DCC "))
                        to->Recv(":" + from->nick + "!u@h " + line);
                }
            }
        }
        if (done()) return true;
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

// A peer written the plain way other programs do it, on its own thread: a sender that
// sends 1024 bytes and waits for their acknowledgement each time, or a receiver that
// acknowledges every 1024-byte read. Either may stop half-way, and then close, stall or
// reset the connection (as a crashed or killed program's system does).
class RawPeer {
  public:
    enum class AtStop { Close, Stall, Reset };

    ~RawPeer() {
        stop_ = true;
        Join();
        CloseSocket(listenFd_);
    }

    // Listens on a free loopback port (and never accepts by itself); returns it.
    int Listen() {
        int port = 0;
        listenFd_ = khub::test::ListenOnLoopback(&port, 1);
        return port;
    }
    // Sender of data[from..] to whoever connects to the returned loopback port, stopping
    // after stopAfter bytes (whole when -1). With a resume window it first looks for a
    // RESUME six times, 500 ms apart, and sends from its position when there is one.
    int Send(std::string data, std::size_t from, long stopAfter, AtStop atStop,
             bool resumeWindow = false) {
        int port = Listen();
        thread_ = std::thread([=, this, data = std::move(data)] {
            SocketHandle fd = AcceptOne();
            if (fd == kInvalidSocket) return;
            for (int i = 0; resumeWindow && i < 6 && !resumeRequested_ && !stop_; ++i)
                std::this_thread::sleep_for(500ms);
            SendFrom(fd, data, resumeRequested_ ? resumePosition_.load() : from, stopAfter, atStop);
        });
        return port;
    }
    // Its answer to a RESUME (the text after "RESUME " as received): the ACCEPT line.
    std::string AnswerResume(const std::string& receiver, const std::string& rest) {
        resumePosition_ = static_cast<std::size_t>(*ParseResumeFields(rest).position);
        resumeRequested_ = true;
        return "PRIVMSG " + receiver + " :\x01" + "DCC ACCEPT " + rest;
    }

    // Receiver that connects to port and acknowledges every 1024-byte read, counting from
    // the from bytes it holds; stops reading after stopAfter bytes (never when -1).
    void Receive(int port, std::size_t size, long stopAfter, AtStop atStop, std::size_t from = 0) {
        thread_ = std::thread([this, port, size, stopAfter, atStop, from] {
            SocketHandle fd = khub::test::ConnectToLoopback(port);
            if (fd == kInvalidSocket) return;
            std::size_t total = from;
            char buf[1024];
            while (total < size && !stop_ &&
                   (stopAfter < 0 || total - from < static_cast<std::size_t>(stopAfter))) {
                SocketPoll p{fd, kPollRead};
                if (PollSockets({&p, 1}, 20) != 1) continue;
                long n = ReceiveSome(fd, buf, sizeof buf);
                if (n <= 0) break;
                received.append(buf, static_cast<std::size_t>(n));
                total += static_cast<std::size_t>(n);
                receivedCount = total;
                unsigned char ack[4];
                EncodeAck(total, ack);
                SendSome(fd, ack, 4);
            }
            End(fd, atStop);
        });
    }

    void Join() {
        if (thread_.joinable()) thread_.join();
    }

    std::atomic<std::size_t> sent{0};           // by the sender, from its start
    std::atomic<std::size_t> receivedCount{0};  // by the receiver, with what it held
    std::atomic<bool> ackMismatch{false};
    std::string received;  // by the receiver; read it only after Join()

  private:
    void SendFrom(SocketHandle fd, const std::string& data, std::size_t from, long stopAfter,
                  AtStop atStop) {
        std::size_t pos = from;
        std::size_t end = stopAfter < 0 ? data.size() : std::min(data.size(), from + stopAfter);
        while (pos < end && !stop_) {
            std::size_t n = std::min<std::size_t>(1024, end - pos);
            if (SendSome(fd, data.data() + pos, n) != static_cast<long>(n)) break;
            pos += n;
            unsigned char ack[4];
            if (!ReadExactly(fd, ack, 4)) break;
            std::uint32_t v = (std::uint32_t{ack[0]} << 24) | (std::uint32_t{ack[1]} << 16) |
                              (std::uint32_t{ack[2]} << 8) | ack[3];
            if (v != pos) {
                ackMismatch = true;
                break;
            }
        }
        sent = pos - from;
        End(fd, atStop);
    }
    void End(SocketHandle fd, AtStop atStop) {
        while (atStop == AtStop::Stall && !stop_) std::this_thread::sleep_for(5ms);
        if (atStop == AtStop::Reset) return khub::test::ResetAndClose(fd);
        CloseSocket(fd);
    }

    SocketHandle AcceptOne() {
        while (!stop_) {
            SocketPoll p{listenFd_, kPollRead};
            if (PollSockets({&p, 1}, 20) == 1) return AcceptConnection(listenFd_);
        }
        return kInvalidSocket;
    }
    static bool ReadExactly(SocketHandle fd, unsigned char* out, std::size_t n) {
        std::size_t got = 0;
        while (got < n) {
            long r = ReceiveSome(fd, out + got, n - got);
            if (r <= 0) return false;
            got += static_cast<std::size_t>(r);
        }
        return true;
    }

    SocketHandle listenFd_ = kInvalidSocket;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> resumeRequested_{false};
    std::atomic<std::size_t> resumePosition_{0};
};

// Alice and Bob, each a whole program, on one loopback port range.
class DccPair : public ::testing::Test {
  protected:
    DccPair() : port_(khub::test::FreeLoopbackPort()), alice_("Alice", port_), bob_("Bob", port_) {}

    // Alice hosts rom, Bob lacks it and pressed Download.
    void Prepare(const std::string& rom) {
        rom_ = rom;
        WriteFile(alice_.Rom("Game.smc"), rom);
        alice_.program->windows.host = true;
        alice_.program->host.hostRomFile = "Game.smc";
        alice_.program->host.hostRomCrc = rom::CrcTextOfFile(alice_.Rom("Game.smc").string());
        bob_.program->windows.client = true;
        bob_.program->client.joinedHostNick = "Alice";
        bob_.program->client.wantedRomFile = "Game.smc";
        bob_.program->client.wantedRomCrc = alice_.program->host.hostRomCrc;
        bob_.program->client.downloadRequested = true;
    }
    // Alice offers; only Bob's RESUME (of 0 for a new file) can start her sending.
    bool RunToEnd() {
        alice_.program->transfer.timings.resumeWindow = std::chrono::hours(1);
        OfferRomByDcc(*alice_.program, "Bob");
        return Pump({&alice_, &bob_}, [&] {
            return alice_.Idle() && bob_.Idle() && !alice_.program->windows.transfer &&
                   !bob_.program->windows.transfer;
        });
    }
    bool MatchSent(const std::string& answer) {
        return std::ranges::count(bob_.AllSent(), "NOTICE Alice :K-Hub-3|MATCH|" + answer) > 0;
    }

    int port_;
    DccPeer alice_;
    DccPeer bob_;
    std::string rom_;
};

}  // namespace khub::transfer::testing
