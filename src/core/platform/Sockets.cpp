#include "Sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "app/Log.h"
#include "platform/EventLoop.h"

namespace khub {

namespace {

bool SetNonBlocking(Logger& log, int fd, bool on) {
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0 || fcntl(fd, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK)) != 0) {
        log.DebugLog("ioctlsocket failed with error: %ld\r\n", static_cast<long>(errno));
        return false;
    }
    return true;
}

// Resolves host to its first IPv4 address; empty when it has none.
std::string ResolveIpv4(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return {};
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> guard(found, freeaddrinfo);
    char text[INET_ADDRSTRLEN] = {};
    auto* address = reinterpret_cast<sockaddr_in*>(found->ai_addr);
    if (!inet_ntop(AF_INET, &address->sin_addr, text, sizeof text)) return {};
    return text;
}

int BindAndListen(Logger& log, int port, bool lastTry, bool& bindFailed) {
    bindFailed = false;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) return kInvalidSocket;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        bindFailed = true;
        if (lastTry) log.DebugLog("Could not bind socket\r\n");
        return kInvalidSocket;
    }
    if (listen(fd, 1) != 0) {
        log.DebugLog("Listen failed with error: %ld\r\n", static_cast<long>(errno));
        close(fd);
        return kInvalidSocket;
    }
    return fd;
}

constexpr int kBindAttempts = 5;

}  // namespace

int ConnectWithTimeout(Logger& log, const std::string& host, std::uint16_t port, int timeoutSeconds,
                       const std::atomic<bool>* cancel, bool* unresolved) {
    std::string dotted = ResolveIpv4(host);
    if (unresolved) *unresolved = dotted.empty();
    if (dotted.empty()) return kInvalidSocket;
    log.DebugLog("Address resolved: %s\r\n", dotted.c_str());

    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) return kInvalidSocket;
    SetNonBlocking(log, fd, true);

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    inet_pton(AF_INET, dotted.c_str(), &address.sin_addr);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        log.DebugLog("Connected!\r\n");
    } else if (errno != EINPROGRESS) {
        int error = errno;
        log.DebugLog("Failed to connect to server.\r\n");
        log.DebugLog("Error: %i\r\n", error);
        close(fd);
        return kInvalidSocket;
    } else {
        log.DebugLog("Attempting to connect.\r\n");
        // Waited in short slices so that a closing program need not wait the whole timeout.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
        for (;;) {
            if (cancel && cancel->load()) {
                close(fd);
                return kInvalidSocket;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                log.DebugLog("Connect Timeout (%i Sec).\r\n", timeoutSeconds);
                close(fd);
                return kInvalidSocket;
            }
            pollfd p{fd, POLLOUT, 0};
            int ready = poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 100)));
            if (ready < 0 && errno == EINTR) continue;
            if (ready == 0) continue;
            int error = 0;
            socklen_t length = sizeof error;
            if (ready < 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 ||
                error != 0 || (p.revents & (POLLERR | POLLHUP))) {
                log.DebugLog("Select error.\r\n");
                close(fd);
                return kInvalidSocket;
            }
            log.DebugLog("Connected!\r\n");
            break;
        }
    }
    SetNonBlocking(log, fd, false);
    return fd;
}

int ListenOnPort(Logger& log, int port) {
    for (int attempt = 1; attempt <= kBindAttempts; ++attempt) {
        bool bindFailed = false;
        int fd = BindAndListen(log, port, attempt == kBindAttempts, bindFailed);
        if (fd >= 0 || !bindFailed) return fd;
        if (attempt < kBindAttempts) std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    return kInvalidSocket;
}

namespace {
void TryListen(EventLoop& loop, Logger& log, int port, int attempt,
               std::shared_ptr<std::function<void(int)>> done) {
    bool bindFailed = false;
    int fd = BindAndListen(log, port, attempt == kBindAttempts, bindFailed);
    if (fd >= 0 || !bindFailed || attempt == kBindAttempts) {
        (*done)(fd);
        return;
    }
    loop.PostDelayed(std::chrono::seconds(1), [&loop, &log, port, attempt, done] {
        TryListen(loop, log, port, attempt + 1, done);
    });
}
}  // namespace

void ListenOnPortAsync(EventLoop& loop, Logger& log, int port, std::function<void(int)> done) {
    TryListen(loop, log, port, 1, std::make_shared<std::function<void(int)>>(std::move(done)));
}

long SendAll(int socket, const char* bytes, std::size_t length) {
    std::size_t sent = 0;
    while (sent < length) {
        ssize_t n = send(socket, bytes + sent, length - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return sent > 0 ? static_cast<long>(sent) : static_cast<long>(n);
        sent += static_cast<std::size_t>(n);
    }
    return static_cast<long>(sent);
}

void CloseSocket(int socket) {
    if (socket >= 0) close(socket);
}

std::string LocalIpv4Address(int socket) {
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    if (socket < 0 || getsockname(socket, reinterpret_cast<sockaddr*>(&local), &length) != 0 ||
        local.ss_family != AF_INET) {
        return {};
    }
    char text[INET_ADDRSTRLEN] = {};
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(&local);
    return inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text) ? text : std::string();
}

}  // namespace khub
