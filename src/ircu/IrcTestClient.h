#pragma once
// A scripted IRC client for tests: the operator who voices players and sets the topic, or a
// second player. Everything blocks with a timeout; PINGs are answered while it waits.
//
//   IrcTestClient op;
//   op.Connect(server.port());
//   op.Register("Ivan");
//   op.Oper("oper", "secret");
//   op.Send("JOIN #K-HubI");
//   op.WaitFor([](auto& l) { return l.find(" 366 ") != std::string::npos; });

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace khub::test {

class IrcTestClient {
  public:
    using Predicate = std::function<bool(const std::string& line)>;
    static constexpr std::chrono::milliseconds kDefaultTimeout{10000};

    IrcTestClient() = default;
    ~IrcTestClient();
    IrcTestClient(const IrcTestClient&) = delete;
    IrcTestClient& operator=(const IrcTestClient&) = delete;

    bool Connect(int port, const std::string& host = "127.0.0.1");
    // NICK and USER, the PONG the server waits for, then waits for the end of the MOTD.
    bool Register(const std::string& nick, const std::string& user = "tester",
                  std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));
    // OPER, waits for 381.
    bool Oper(const std::string& name = "oper", const std::string& password = "secret");
    // JOIN, waits for the end of the NAMES reply.
    bool Join(const std::string& channel = "#K-HubI");
    // OPMODE (as an operator, no channel op needed); waits for the MODE echo.
    bool OpMode(const std::string& channel, const std::string& mode, const std::string& nick);
    // MODE as the channel's operator; waits for the echo, whichever form the server gives it.
    bool ChannelMode(const std::string& channel, const std::string& mode, const std::string& nick);
    bool Topic(const std::string& channel, const std::string& topic);

    // One line; "\r\n" is added.
    void Send(const std::string& line);
    // Bytes as they stand.
    void SendRaw(const std::string& bytes);

    // The next line (after those already waited past) that matches; nullopt on timeout.
    std::optional<std::string> WaitFor(const Predicate& match,
                                       std::chrono::milliseconds timeout = kDefaultTimeout);
    std::optional<std::string> WaitForText(const std::string& text,
                                           std::chrono::milliseconds timeout = kDefaultTimeout);
    // Reads what is there for the given time (answering PINGs); true when the link is open.
    bool Pump(std::chrono::milliseconds time);
    // Reads what arrives within waitMs (0: only what is there), without waiting past it.
    // False once the link is gone.
    bool Poll(int waitMs = 0);

    const std::vector<std::string>& Lines() const { return lines_; }
    const std::string& nick() const { return nick_; }
    // Register waits for the ident notice first (ircu drops what comes before it); servers
    // that send none are registered with at once.
    bool awaitIdentNotice = true;
    bool connected() const { return fd_ >= 0 && !closed_; }
    bool closedByServer() const { return closed_; }
    void Close();

  private:
    bool ReadSome(int waitMs);
    bool SendMode(const std::string& command, const std::string& channel, const std::string& mode,
                  const std::string& nick);

    int fd_ = -1;
    bool closed_ = false;
    std::string buffer_;
    std::vector<std::string> lines_;
    std::size_t next_ = 0;  // first line not yet waited past
    std::string nick_;
};

}  // namespace khub::test
