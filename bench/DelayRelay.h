#pragma once
// A stand-in for a link with a delay (the kernel here has no netem): a TCP relay on
// loopback that accepts one connection and forwards each piece of data, both ways, only
// once the one-way delay has passed since it arrived. It models latency, not bandwidth or
// loss, and the connection handshake itself is not delayed.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <string>
#include <thread>

namespace khub::bench {

// A listening socket on ip:port (port 0: any free one, written back).
inline int ListenOn(const char* ip, int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, ip, &addr.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0) {
        ::close(fd);
        return -1;
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    return fd;
}

inline int ListenLoopback(int& port) {
    port = 0;
    return ListenOn("127.0.0.1", port);
}

inline int ConnectTo(const char* ip, int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, ip, &addr.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

inline int ConnectLoopback(int port) {
    return ConnectTo("127.0.0.1", port);
}

class DelayRelay {
  public:
    using Clock = std::chrono::steady_clock;

    // Listens on a free loopback port and forwards to 127.0.0.1:targetPort.
    DelayRelay(int targetPort, std::chrono::milliseconds delay)
        : DelayRelay("127.0.0.1", 0, "127.0.0.1", targetPort, delay) {}
    DelayRelay(const char* listenIp, int listenPort, const char* targetIp, int targetPort,
               std::chrono::milliseconds delay)
        : delay_(delay), port_(listenPort), targetIp_(targetIp), targetPort_(targetPort) {
        listenFd_ = ListenOn(listenIp, port_);
        thread_ = std::thread([this] { Run(); });
    }
    ~DelayRelay() {
        stop_ = true;
        thread_.join();
        ::close(listenFd_);
    }
    DelayRelay(const DelayRelay&) = delete;
    DelayRelay& operator=(const DelayRelay&) = delete;
    int Port() const { return port_; }

  private:
    struct Piece {
        Clock::time_point due;
        std::string bytes;
    };
    void Run() {
        int a = -1;
        while (!stop_ && a < 0) {
            pollfd p{listenFd_, POLLIN, 0};
            if (::poll(&p, 1, 20) == 1) a = ::accept(listenFd_, nullptr, nullptr);
        }
        if (a < 0) return;
        int b = ConnectTo(targetIp_.c_str(), targetPort_);
        std::deque<Piece> toB, toA;
        bool openA = true, openB = b >= 0, shutA = false, shutB = false;
        char buf[65536];
        // Reads what arrived on fd and queues it for the other side after the delay.
        auto take = [&](int fd, short revents, bool& open, std::deque<Piece>& queue) {
            if (!open || !(revents & (POLLIN | POLLHUP))) return;
            ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) {
                open = false;
                return;
            }
            queue.push_back({Clock::now() + delay_, std::string(buf, static_cast<std::size_t>(n))});
        };
        auto passOn = [](int fd, std::deque<Piece>& queue) {
            auto now = Clock::now();
            while (!queue.empty() && queue.front().due <= now) {
                ::send(fd, queue.front().bytes.data(), queue.front().bytes.size(), MSG_NOSIGNAL);
                queue.pop_front();
            }
        };
        while (!stop_ && (openA || openB || !toA.empty() || !toB.empty())) {
            pollfd p[2] = {{a, static_cast<short>(openA ? POLLIN : 0), 0},
                           {b, static_cast<short>(openB ? POLLIN : 0), 0}};
            ::poll(p, 2, 1);
            take(a, p[0].revents, openA, toB);
            take(b, p[1].revents, openB, toA);
            passOn(b, toB);
            passOn(a, toA);
            // A side that closed is passed on once its last bytes are through.
            if (!openB && toA.empty() && !shutA) shutA = ::shutdown(a, SHUT_WR) == 0 || true;
            if (!openA && toB.empty() && !shutB) shutB = ::shutdown(b, SHUT_WR) == 0 || true;
        }
        ::close(a);
        if (b >= 0) ::close(b);
    }

    std::chrono::milliseconds delay_;
    int listenFd_ = -1;
    int port_ = 0;
    std::string targetIp_;
    int targetPort_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace khub::bench
