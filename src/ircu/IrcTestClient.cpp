#include "ircu/IrcTestClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace khub::test {

IrcTestClient::~IrcTestClient() {
    Close();
}

void IrcTestClient::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

bool IrcTestClient::Connect(int port, const std::string& host) {
    Close();
    closed_ = false;
    // Not handed on to programs started meanwhile (the demo starts several).
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, host.c_str(), &a.sin_addr);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        Close();
        return false;
    }
    return true;
}

void IrcTestClient::SendRaw(const std::string& bytes) {
    if (fd_ < 0) return;
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

void IrcTestClient::Send(const std::string& line) {
    SendRaw(line + "\r\n");
}

bool IrcTestClient::ReadSome(int waitMs) {
    if (fd_ < 0 || closed_) return false;
    pollfd p{fd_, POLLIN, 0};
    int ready = poll(&p, 1, waitMs);
    if (ready <= 0) return ready == 0;
    char chunk[4096];
    ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0) {
        closed_ = true;
        return false;
    }
    buffer_.append(chunk, static_cast<std::size_t>(n));
    std::size_t lf;
    while ((lf = buffer_.find('\n')) != std::string::npos) {
        std::string line = buffer_.substr(0, lf);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        buffer_.erase(0, lf + 1);
        if (line.rfind("PING ", 0) == 0) Send("PONG " + line.substr(5));
        lines_.push_back(std::move(line));
    }
    return true;
}

std::optional<std::string> IrcTestClient::WaitFor(const Predicate& match,
                                                  std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        while (next_ < lines_.size()) {
            const std::string& line = lines_[next_++];
            if (match(line)) return line;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return std::nullopt;
        if (!ReadSome(static_cast<int>(std::min<long long>(left.count(), 100))) && closed_) {
            while (next_ < lines_.size()) {
                const std::string& line = lines_[next_++];
                if (match(line)) return line;
            }
            return std::nullopt;
        }
    }
}

std::optional<std::string> IrcTestClient::WaitForText(const std::string& text,
                                                      std::chrono::milliseconds timeout) {
    return WaitFor([&](const std::string& l) { return l.find(text) != std::string::npos; },
                   timeout);
}

bool IrcTestClient::Pump(std::chrono::milliseconds time) {
    auto deadline = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!ReadSome(20) && closed_) return false;
    }
    return !closed_;
}

bool IrcTestClient::Poll(int waitMs) {
    if (!ReadSome(waitMs)) return false;
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        if (fd_ < 0 || ::poll(&p, 1, 0) != 1) return !closed_;
        if (!ReadSome(0)) return false;
    }
}

namespace {
bool IsNumeric(const std::string& line, const char* code) {
    std::size_t blank = line.find(' ');
    return line.size() > 0 && line[0] == ':' && blank != std::string::npos &&
           line.compare(blank + 1, 4, std::string(code) + " ") == 0;
}
}  // namespace

bool IrcTestClient::Register(const std::string& nick, const std::string& user,
                             std::chrono::milliseconds timeout) {
    nick_ = nick;
    // ircu drops what a client sends before it has started looking the client up.
    if (awaitIdentNotice) WaitForText("Checking Ident", std::chrono::milliseconds(3000));
    Send("NICK " + nick);
    Send("USER " + user + " 8 * :" + user);
    auto end = WaitFor(
        [](const std::string& l) {
            return IsNumeric(l, "376") || IsNumeric(l, "422") || IsNumeric(l, "433") ||
                   IsNumeric(l, "432");
        },
        timeout);
    return end && (IsNumeric(*end, "376") || IsNumeric(*end, "422"));
}

bool IrcTestClient::Oper(const std::string& name, const std::string& password) {
    Send("OPER " + name + " " + password);
    return WaitFor([](const std::string& l) { return IsNumeric(l, "381") || IsNumeric(l, "464"); })
               .value_or("")
               .find(" 381 ") != std::string::npos;
}

bool IrcTestClient::Join(const std::string& channel) {
    Send("JOIN " + channel);
    return WaitFor([](const std::string& l) { return IsNumeric(l, "366"); }).has_value();
}

bool IrcTestClient::OpMode(const std::string& channel, const std::string& mode,
                           const std::string& nick) {
    return SendMode("OPMODE", channel, mode, nick);
}

bool IrcTestClient::ChannelMode(const std::string& channel, const std::string& mode,
                                const std::string& nick) {
    return SendMode("MODE", channel, mode, nick);
}

bool IrcTestClient::SendMode(const std::string& command, const std::string& channel,
                             const std::string& mode, const std::string& nick) {
    Send(command + " " + channel + " " + mode + " " + nick);
    // The echo in the channel (InspIRCd puts a ':' before the nick), or the server notice
    // an operator outside it gets, or a refusal.
    std::string echo = "MODE " + channel + " " + mode + " ";
    auto isEcho = [&](const std::string& l) {
        std::size_t at = l.find(echo);
        if (at == std::string::npos) return false;
        std::string rest = l.substr(at + echo.size());
        if (!rest.empty() && rest[0] == ':') rest.erase(0, 1);
        return rest == nick || rest.rfind(nick + " ", 0) == 0;
    };
    auto end = WaitFor([&](const std::string& l) {
        return isEcho(l) || IsNumeric(l, "481") || IsNumeric(l, "482") || IsNumeric(l, "401") ||
               IsNumeric(l, "441");
    });
    return end && isEcho(*end);
}

bool IrcTestClient::Topic(const std::string& channel, const std::string& topic) {
    Send("TOPIC " + channel + " :" + topic);
    return WaitForText(" TOPIC " + channel + " :").has_value();
}

}  // namespace khub::test
