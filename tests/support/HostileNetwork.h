#pragma once
// The network around a VictimCopy for the hostile-peer suites, either a LoopbackIrcServer
// that plays every other member itself, or a real ircd-ircu where each attacker is an
// IrcTestClient of its own and an operator ("Ivan") voices and ops them. The copy is in the
// channel and voiced, so it hears WALLVOICES. Tests write what an attacker sends to the
// server ("NOTICE Victim :...", "WALLVOICES #K-HubI :...") and read back what the copy sent
// to the others as "NOTICE Mallory :K-Hub-3|CLIENT", whichever server carried it.

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ircu/IrcTestClient.h"
#include "ircu/IrcuServer.h"
#include "support/VictimCopy.h"

namespace khub::test {

class HostileNetwork {
  public:
    enum class Kind { Loopback, Ircu };
    using Predicate = std::function<bool(const std::string&)>;

    // members as for VictimCopy ("+voiced", "@op", "plain"). Check ok() before use.
    HostileNetwork(Kind kind, const std::vector<std::string>& members);

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    Kind kind() const { return kind_; }
    VictimCopy& copy() { return *copy_; }
    const std::string& me() const { return copy_->nick(); }

    // nick sends line to the server (an attacker not met before connects first).
    void Say(const std::string& nick, const std::string& line);
    // Bytes only a server could send (broken lines, nicks no server allows): false and
    // nothing sent when the server is a real one.
    bool FromServer(const std::string& bytes);
    // The longest text after "prefix" that the server still relays in one line.
    std::size_t RoomFor(const std::string& prefix) const;

    // What the copy sent to the others so far, and the first line from index `from` on that
    // matches.
    std::vector<std::string> Sent();
    std::optional<std::string> WaitSent(const Predicate& match, std::size_t from,
                                        std::chrono::milliseconds timeout);
    bool WaitSent(const std::string& line, std::size_t from,
                  std::chrono::milliseconds timeout = std::chrono::seconds(30));
    std::size_t SentCount() { return Sent().size(); }

    // The copy has handled all the attackers sent, then answers a command.
    bool Probe(std::chrono::milliseconds timeout = std::chrono::seconds(60));
    // The copy is still on the server.
    bool CopyConnected();

  private:
    bool SetUpIrcu(const std::vector<std::string>& members);
    IrcTestClient* Client(const std::string& nick);
    void Collect();

    Kind kind_;
    std::string error_;
    std::unique_ptr<IrcuServer> ircu_;
    IrcTestClient op_;
    std::map<std::string, std::unique_ptr<IrcTestClient>> attackers_;
    std::map<const IrcTestClient*, std::size_t> read_;  // lines of each client already seen
    std::vector<std::string> sent_;                     // the copy's lines, as received
    std::vector<std::string> unsynced_;                 // attackers who sent since the last probe
    int probes_ = 0;
    std::unique_ptr<VictimCopy> copy_;
};

}  // namespace khub::test
