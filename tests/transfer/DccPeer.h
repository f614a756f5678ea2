#pragma once
// Two programs on one machine for transfer tests: each has its own ROM folder, settings
// file, recording Ui and manual loop; what one sends to the IRC server is read back from
// a socket pair and handed to the other as the dispatcher would.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/Program.h"
#include "ircu/LoopbackPort.h"
#include "ircu/TempDir.h"
#include "lobby/RomCatalogue.h"
#include "platform/ManualEventLoop.h"
#include "platform/RecordingUi.h"
#include "support/RandomBytes.h"
#include "transfer/DccHooks.h"
#include "transfer/DccMessages.h"
#include "transfer/Transfer.h"

namespace khub::transfer::testing {

namespace fs = std::filesystem;

using khub::test::FreeLoopbackPort;
using khub::test::RandomBytes;

inline void WriteFile(const fs::path& path, const std::string& bytes) {
    khub::test::WriteFileBytes(path.string(), bytes);
}

inline std::string ReadFile(const fs::path& path) {
    return khub::test::ReadFileBytes(path.string());
}

class DccPeer {
  public:
    DccPeer(std::string nick, int port) : nick_(std::move(nick)), dir_("khub-dcc-" + nick_) {
        fs::create_directories(Dir() / "roms");
        std::ofstream(Dir() / "K-Hub.ini")
            << "[options]\nrompath=" << (Dir() / "roms").string() << "\nstartport=" << port
            << "\nendport=" << port << "\n";
        khub::test::LoopbackSocketPair(irc_);
        program_ = std::make_unique<Program>(ui_, loop_, (Dir() / "K-Hub.ini").string());
        program_->conn.ircSocket = irc_[0];
        program_->conn.ownNick = nick_;
        program_->ownIpText = "127.0.0.1";
        program_->transfer.timings.listenAddress = "127.0.0.1";
    }
    ~DccPeer() {
        program_.reset();
        CloseSocket(irc_[0]);
        CloseSocket(irc_[1]);
    }

    Program& program() { return *program_; }
    RecordingUi& ui() { return ui_; }
    ManualEventLoop& loop() { return loop_; }
    const std::string& nick() const { return nick_; }
    fs::path Rom(const std::string& name) const { return Dir() / "roms" / name; }
    fs::path Dir() const { return dir_.path(); }

    // Lines this program sent to the server since the last call (CR LF removed).
    std::vector<std::string> TakeSent() {
        char buf[4096];
        for (;;) {
            SocketPoll p{irc_[1], kPollRead};
            if (PollSockets({&p, 1}, 0) != 1) break;
            long n = ReceiveSome(irc_[1], buf, sizeof buf);
            if (n <= 0) break;
            pending_.append(buf, static_cast<std::size_t>(n));
        }
        std::vector<std::string> lines;
        std::size_t end;
        while ((end = pending_.find("\r\n")) != std::string::npos) {
            lines.push_back(pending_.substr(0, end));
            pending_.erase(0, end + 2);
        }
        all_.insert(all_.end(), lines.begin(), lines.end());
        return lines;
    }
    const std::vector<std::string>& AllSent() const { return all_; }
    void ForgetSent() {
        TakeSent();
        all_.clear();
    }

    std::vector<std::string> Log() const { return ui_.Lines(WindowId::Debug, control::kDebugLog); }
    bool Logged(const std::string& line) const { return Count(line) > 0; }
    int Count(const std::string& line) const {
        int n = 0;
        for (const auto& l : Log()) n += l == line + "\r\n";
        return n;
    }

    // The client side of a joined game that lacks the ROM and pressed Download.
    void WantRomFrom(const std::string& host, const std::string& file, const std::string& crc) {
        program_->windows.client = true;
        program_->client.joinedHostNick = host;
        program_->client.wantedRomFile = file;
        program_->client.wantedRomCrc = crc;
        program_->client.downloadRequested = true;
    }
    // The host side with a chosen ROM.
    void HostRom(const std::string& file, const std::string& bytes) {
        WriteFile(Rom(file), bytes);
        program_->windows.host = true;
        program_->host.hostRomFile = file;
        program_->host.hostRomCrc = khub::rom::CrcTextOfFile(Rom(file).string());
    }

    // Takes from's DCC SEND offer of "Game.smc" (or name, as sent) on a loopback port.
    void TakeOffer(const std::string& from, int port, std::size_t size,
                   const std::string& name = "\"Game.smc\"") {
        HandleDccSend(
            *program_, from,
            name + " 2130706433 " + std::to_string(port) + " " + std::to_string(size) + "\x01");
    }

  private:
    std::string nick_;
    khub::test::TempDir dir_;
    SocketHandle irc_[2] = {kInvalidSocket, kInvalidSocket};
    RecordingUi ui_;
    ManualEventLoop loop_;
    std::unique_ptr<Program> program_;
    std::string pending_;
    std::vector<std::string> all_;
};

// The CTCP line of a DCC verb ("RESUME", "ACCEPT") about Game.smc, as sent to to.
inline std::string DccLine(const std::string& verb, const std::string& to, int port,
                           std::size_t position) {
    return "PRIVMSG " + to + " :\x01" + "DCC " + verb + " \"Game.smc\" " + std::to_string(port) +
           " " + std::to_string(position) + "\x01";
}

// Hands a CTCP DCC line that from sent to the program of to, as the dispatcher does.
inline void Deliver(DccPeer& from, DccPeer& to, const std::string& line) {
    std::string prefix = "PRIVMSG " + to.nick() + " :\x01" + "DCC ";
    if (line.rfind(prefix, 0) != 0) return;
    std::string rest = line.substr(prefix.size());
    std::string args = rest.substr(rest.find(' ') + 1);
    if (rest.starts_with("SEND ")) HandleDccSend(to.program(), from.nick(), args);
    if (rest.starts_with("RESUME ")) HandleDccResume(to.program(), from.nick(), args);
    if (rest.starts_with("ACCEPT ")) HandleDccAccept(to.program(), from.nick(), args);
}

// Runs the programs' loops, relays the DCC lines one sends to the other and moves their
// clocks on by step per round until done() holds; false after realLimit.
inline bool PumpPeers(std::initializer_list<DccPeer*> peers, const std::function<bool()>& done,
                      std::chrono::milliseconds step, std::chrono::milliseconds realLimit) {
    auto limit = std::chrono::steady_clock::now() + realLimit;
    while (std::chrono::steady_clock::now() < limit) {
        for (DccPeer* p : peers) p->loop().AdvanceBy(step);
        for (DccPeer* from : peers) {
            for (const auto& line : from->TakeSent()) {
                for (DccPeer* to : peers) {
                    if (to != from) Deliver(*from, *to, line);
                }
            }
        }
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

inline bool Pump(DccPeer& a, DccPeer& b, const std::function<bool()>& done) {
    return PumpPeers({&a, &b}, done, std::chrono::milliseconds(10), std::chrono::seconds(20));
}

inline bool PumpOne(DccPeer& a, const std::function<bool()>& done,
                    std::chrono::milliseconds step = std::chrono::milliseconds(10),
                    std::chrono::milliseconds realLimit = std::chrono::seconds(20)) {
    return PumpPeers({&a}, done, step, realLimit);
}

inline bool Idle(DccPeer& p) {
    return !p.program().transfer.transferInProgress;
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
        if (thread_.joinable()) thread_.join();
        CloseSocket(listenFd_);
    }

    // Listens on a free loopback port; returns it.
    int Listen() {
        int port = 0;
        listenFd_ = khub::test::ListenOnLoopback(&port, 1);
        return port;
    }

    // Stop-and-wait sender of data[from..], stopping after stopAfter bytes (whole when -1),
    // on a free loopback port; returns it.
    int Send(std::string data, std::size_t from, long stopAfter, AtStop atStop) {
        int port = Listen();
        thread_ = std::thread([this, data = std::move(data), from, stopAfter, atStop] {
            SocketHandle fd = AcceptOne();
            if (fd == kInvalidSocket) return;
            SendFrom(fd, data, from, stopAfter, atStop);
        });
        return port;
    }

    // The whole sender of an offer: once connected it looks for a RESUME six times, 500 ms
    // apart, and sends from its position, or from 0 without one.
    void SendAfterResumeWindow(std::string data) {
        thread_ = std::thread([this, data = std::move(data)] {
            SocketHandle fd = AcceptOne();
            if (fd == kInvalidSocket) return;
            for (int i = 0; i < 6 && !resumeRequested_ && !stop_; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
            }
            SendFrom(fd, data, resumeRequested_ ? resumePosition_.load() : 0, -1, AtStop::Close);
        });
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
                received_.append(buf, static_cast<std::size_t>(n));
                total += static_cast<std::size_t>(n);
                receivedCount_ = total;
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
    std::size_t Sent() const { return sent_; }
    // The received bytes; read them only after Join().
    const std::string& Received() const { return received_; }
    std::size_t ReceivedCount() const { return receivedCount_; }
    bool AckMismatch() const { return ackMismatch_; }

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
                ackMismatch_ = true;
                break;
            }
        }
        sent_ = pos - from;
        End(fd, atStop);
    }
    void End(SocketHandle fd, AtStop atStop) {
        if (atStop == AtStop::Stall) {
            while (!stop_) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (atStop == AtStop::Reset) {
            khub::test::ResetAndClose(fd);
        } else {
            CloseSocket(fd);
        }
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
    std::atomic<std::size_t> sent_{0};
    std::atomic<std::size_t> receivedCount_{0};
    std::atomic<bool> ackMismatch_{false};
    std::atomic<bool> resumeRequested_{false};
    std::atomic<std::size_t> resumePosition_{0};
    std::string received_;
};

// Alice and Bob, each a whole program, on one loopback port range.
class DccPair : public ::testing::Test {
  protected:
    DccPair() : port_(FreeLoopbackPort()), alice_("Alice", port_), bob_("Bob", port_) {}

    // Alice hosts rom, Bob lacks it (or holds the given partial) and pressed Download.
    void Prepare(const std::string& rom, const std::string& name = "Game.smc") {
        rom_ = rom;
        alice_.HostRom(name, rom);
        bob_.WantRomFrom("Alice", name, alice_.program().host.hostRomCrc);
    }
    bool RunToEnd() {
        OfferRomByDcc(alice_.program(), "Bob");
        return Pump(alice_, bob_, [&] {
            return Idle(alice_) && Idle(bob_) && !alice_.program().windows.transfer &&
                   !bob_.program().windows.transfer;
        });
    }
    static bool Sent(const DccPeer& peer, const std::string& line) {
        return std::ranges::find(peer.AllSent(), line) != peer.AllSent().end();
    }
    bool MatchSent(const std::string& answer) {
        return Sent(bob_, "NOTICE Alice :K-Hub-3|MATCH|" + answer);
    }

    int port_;
    DccPeer alice_;
    DccPeer bob_;
    std::string rom_;
};

}  // namespace khub::transfer::testing
