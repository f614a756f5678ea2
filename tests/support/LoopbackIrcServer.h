#pragma once
// A scripted IRC server on 127.0.0.1 for what a real server cannot be made to do: send a
// hundred thousand lines at once, a NAMES reply of ten thousand nicks, bytes no server
// would relay. It plays just enough of ircu's registration for the program to join the
// lobby, then sends whatever the test writes and records every line the program sends.
//
//   LoopbackIrcServer server;                 // listening on server.port()
//   ... start the program against it ...
//   ASSERT_TRUE(server.AcceptAndRegister());  // NICK/USER, MODE, JOIN answered
//   server.Send(":Bob!u@h NOTICE Alice :K-Hub-3|GET\r\n");
//   server.WaitForLine([](auto& l) { return l.starts_with("PRIVMSG"); });

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace khub::test {

class LoopbackIrcServer {
  public:
    using Clock = std::chrono::steady_clock;
    using LinePredicate = std::function<bool(const std::string&)>;

    LoopbackIrcServer();
    ~LoopbackIrcServer();
    LoopbackIrcServer(const LoopbackIrcServer&) = delete;
    LoopbackIrcServer& operator=(const LoopbackIrcServer&) = delete;

    int port() const { return port_; }
    const std::string& name() const { return serverName_; }

    // Waits for the program to connect; from then on its lines are recorded.
    bool Accept(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Accept, then the ircu registration: the ident notice, the welcome and the own-nick
    // MODE after NICK/USER, 340/302 answers, the JOIN echo and a NAMES reply listing the
    // program and `members` (nicks with their "@"/"+" prefix) after JOIN.
    bool AcceptAndRegister(const std::vector<std::string>& members = {},
                           std::chrono::milliseconds timeout = std::chrono::seconds(10));
    const std::string& clientNick() const { return nick_; }

    // Raw bytes to the program (no line end is added). False once the link is gone.
    bool Send(std::string_view bytes);
    bool SendLine(std::string_view line) { return Send(std::string(line) + "\r\n"); }

    // The first recorded line (from index `from` on) for which pred holds.
    std::optional<std::string> WaitForLine(const LinePredicate& pred,
                                           std::chrono::milliseconds timeout, std::size_t from = 0);
    // Returns once the program has handled everything sent before (a PING it answers).
    bool Sync(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Every line the program sent so far (CR LF removed), and how many.
    std::vector<std::string> Lines() const;
    std::size_t LineCount() const;
    // True while the program keeps the connection open.
    bool ClientConnected() const;
    // Waits until the program closes the connection.
    bool WaitForClose(std::chrono::milliseconds timeout);
    // Drops the program's connection as a dying server would.
    void Disconnect();

    // A NAMES reply as ircu sends it: 353 lines of at most ~500 bytes, then 366.
    std::string NamesReply(const std::vector<std::string>& members) const;

  private:
    void ReadLoop(int fd);

    int listenFd_ = -1;
    int clientFd_ = -1;
    int port_ = 0;
    std::string serverName_ = "irc.test.local";
    std::string nick_;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
    bool closed_ = false;
    std::mutex sendMutex_;
    int syncs_ = 0;
};

}  // namespace khub::test
