#include "support/LoopbackIrcServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace khub::test {

namespace {

constexpr const char* kChannel = "#K-HubI";

std::string Host(const std::string& nick) {
    return nick + "!KHubUser@127.0.0.1";
}

}  // namespace

LoopbackIrcServer::LoopbackIrcServer() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) throw std::runtime_error("socket failed");
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;  // the kernel picks a free port
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 4) != 0) {
        ::close(listenFd_);
        throw std::runtime_error("bind/listen on 127.0.0.1 failed");
    }
    socklen_t len = sizeof addr;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
}

LoopbackIrcServer::~LoopbackIrcServer() {
    Disconnect();
    if (listenFd_ >= 0) ::close(listenFd_);
}

bool LoopbackIrcServer::Accept(std::chrono::milliseconds timeout) {
    pollfd p{listenFd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return false;
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return false;
    {
        std::lock_guard lock(mutex_);
        clientFd_ = fd;
        closed_ = false;
        lines_.clear();
    }
    reader_ = std::thread([this, fd] { ReadLoop(fd); });
    return true;
}

void LoopbackIrcServer::ReadLoop(int fd) {
    std::string pending;
    char buf[65536];
    for (;;) {
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        pending.append(buf, static_cast<std::size_t>(n));
        // Lines end at LF or at a lone CR (PONG goes out with CR only); empty ones go.
        std::size_t start = 0, eol;
        std::vector<std::string> got;
        while ((eol = pending.find_first_of("\r\n", start)) != std::string::npos) {
            if (eol > start) got.push_back(pending.substr(start, eol - start));
            start = eol + 1;
        }
        pending.erase(0, start);
        if (!got.empty()) {
            std::lock_guard lock(mutex_);
            for (auto& l : got) lines_.push_back(std::move(l));
            changed_.notify_all();
        }
    }
    std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
}

bool LoopbackIrcServer::Send(std::string_view bytes) {
    std::lock_guard sendLock(sendMutex_);
    int fd;
    {
        std::lock_guard lock(mutex_);
        fd = clientFd_;
    }
    if (fd < 0) return false;
    while (!bytes.empty()) {
        ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::optional<std::string> LoopbackIrcServer::WaitForLine(const LinePredicate& pred,
                                                          std::chrono::milliseconds timeout,
                                                          std::size_t from) {
    auto deadline = Clock::now() + timeout;
    std::unique_lock lock(mutex_);
    std::size_t checked = from;
    for (;;) {
        for (; checked < lines_.size(); ++checked) {
            if (pred(lines_[checked])) return lines_[checked];
        }
        if (closed_ && checked >= lines_.size()) return std::nullopt;
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) {
            for (; checked < lines_.size(); ++checked) {
                if (pred(lines_[checked])) return lines_[checked];
            }
            return std::nullopt;
        }
    }
}

bool LoopbackIrcServer::Sync(std::chrono::milliseconds timeout) {
    std::string token = "sync-" + std::to_string(++syncs_);
    std::size_t from = LineCount();
    if (!SendLine("PING :" + token)) return false;
    return WaitForLine(
               [&](const std::string& l) {
                   return l.starts_with("PONG") && l.find(token) != std::string::npos;
               },
               timeout, from)
        .has_value();
}

std::vector<std::string> LoopbackIrcServer::Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

std::size_t LoopbackIrcServer::LineCount() const {
    std::lock_guard lock(mutex_);
    return lines_.size();
}

bool LoopbackIrcServer::ClientConnected() const {
    std::lock_guard lock(mutex_);
    return clientFd_ >= 0 && !closed_;
}

bool LoopbackIrcServer::WaitForClose(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return closed_; });
}

void LoopbackIrcServer::Disconnect() {
    int fd;
    {
        std::lock_guard lock(mutex_);
        fd = clientFd_;
    }
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
    if (reader_.joinable()) reader_.join();
    std::lock_guard sendLock(sendMutex_);
    std::lock_guard lock(mutex_);
    if (clientFd_ >= 0) ::close(clientFd_);
    clientFd_ = -1;
    closed_ = true;
}

std::string LoopbackIrcServer::NamesReply(const std::vector<std::string>& members) const {
    std::string out;
    std::string head = ":" + serverName_ + " 353 " + nick_ + " = " + kChannel + " :";
    std::string line = head + nick_;
    for (const auto& m : members) {
        if (line.size() + 1 + m.size() > 500) {
            out += line + "\r\n";
            line = head + m;
        } else {
            line += " " + m;
        }
    }
    out += line + "\r\n";
    out += ":" + serverName_ + " 366 " + nick_ + " " + kChannel + " :End of /NAMES list.\r\n";
    return out;
}

bool LoopbackIrcServer::AcceptAndRegister(const std::vector<std::string>& members,
                                          std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    auto left = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    };
    if (!Accept(timeout)) return false;
    Send("NOTICE AUTH :*** Checking Ident\r\nNOTICE AUTH :*** No ident response\r\n");
    auto user = WaitForLine([](const std::string& l) { return l.starts_with("USER "); }, left());
    if (!user) return false;
    // The nick in force is the last one sent before USER.
    for (const auto& l : Lines()) {
        if (l.starts_with("NICK ")) nick_ = l.substr(5);
        if (l.starts_with("USER ")) break;
    }
    if (nick_.empty()) return false;
    Send(":" + serverName_ + " 001 " + nick_ + " :Welcome to the Internet Relay Network " + nick_ +
         "\r\n:" + serverName_ + " 376 " + nick_ + " :End of /MOTD command.\r\n:" + Host(nick_) +
         " MODE " + nick_ + " :+i\r\n");
    auto join = WaitForLine([](const std::string& l) { return l.starts_with("JOIN "); }, left());
    if (!join) return false;
    std::string addr = nick_ + "=+KHubUser@127.0.0.1";
    Send(":" + serverName_ + " 340 " + nick_ + " :" + addr + "\r\n:" + serverName_ + " 302 " +
         nick_ + " :" + addr + "\r\n:" + Host(nick_) + " JOIN :" + kChannel + "\r\n" +
         NamesReply(members));
    return true;
}

}  // namespace khub::test
