#pragma once
// A scripted IRC server on 127.0.0.1 for what a real server cannot be made to do: send a
// hundred thousand lines at once, a NAMES reply of ten thousand nicks, bytes no server
// would relay. It plays just enough of ircu's registration for the program to join the
// lobby, then sends whatever the test writes and records every line the program sends.

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/FakeServer.h"
#include "support/LineLog.h"

namespace khub::test {

// The prefix of a line from a user of the channel (the program included).
inline std::string From(const std::string& nick) {
    return ":" + nick + "!KHubUser@127.0.0.1";
}

// The lines the program sent are the LineLog's; the bytes are read by a thread of its own.
class LoopbackIrcServer : private FakeServer, public LineLog {
  public:
    ~LoopbackIrcServer() { Disconnect(); }

    using FakeServer::port;
    // Raw bytes to the program (no line end is added). False once the link is gone.
    using FakeServer::Send;
    bool SendLine(const std::string& line) { return Send(line + "\r\n"); }

    // Waits for the program to connect, then plays the ircu registration: the ident notice, the
    // welcome and the own-nick MODE after NICK/USER, 340/302 answers, the JOIN echo and a NAMES
    // reply listing the program and `members` (nicks with their "@"/"+" prefix) after JOIN.
    bool AcceptAndRegister(const std::vector<std::string>& members = {},
                           std::chrono::milliseconds timeout = std::chrono::seconds(10));
    const std::string& clientNick() const { return nick_; }

    // Returns once the program has handled everything sent before (a PING it answers).
    bool Sync(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    bool ClientConnected() const { return client() != kInvalidSocket && !ended(); }
    // Drops the program's connection as a dying server would.
    void Disconnect();

  private:
    // A NAMES reply as ircu sends it: 353 lines of at most ~500 bytes, then 366.
    std::string NamesReply(const std::vector<std::string>& members) const;

    std::string nick_;
    std::thread reader_;
    int syncs_ = 0;
};

}  // namespace khub::test
