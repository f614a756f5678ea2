#include "support/FakeDccSender.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

#include "ircu/LoopbackPort.h"

namespace khub::test {

FakeDccSender::FakeDccSender(std::string content, std::size_t dropAfter)
    : content_(std::move(content)), dropAfter_(dropAfter) {
    listenFd_ = ListenOnLoopback(&port_, 1);
}

FakeDccSender::~FakeDccSender() {
    if (thread_.joinable()) thread_.join();
    if (listenFd_ >= 0) ::close(listenFd_);
}

bool FakeDccSender::Finish(int timeoutMs) {
    if (!thread_.joinable()) thread_ = std::thread([this, timeoutMs] { Run(timeoutMs); });
    thread_.join();
    return connected_;
}

void FakeDccSender::Run(int timeoutMs) {
    pollfd p{listenFd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return;
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    connected_ = true;
    std::size_t pos = std::min<std::size_t>(start_, content_.size());
    std::size_t sent = 0;
    unsigned char ack[4];
    std::size_t ackFill = 0;
    // Takes in what acknowledgements have arrived; false once the receiver is gone.
    auto readAcks = [&] {
        char buf[256];
        ssize_t r = ::recv(fd, buf, sizeof buf, 0);
        if (r <= 0) return false;
        for (ssize_t i = 0; i < r; ++i) {
            ack[ackFill++] = static_cast<unsigned char>(buf[i]);
            if (ackFill == 4) {
                lastAck_ = (std::uint64_t{ack[0]} << 24) | (ack[1] << 16) | (ack[2] << 8) | ack[3];
                ackFill = 0;
            }
        }
        return true;
    };
    bool dropped = false;
    while (pos < content_.size()) {
        std::size_t n = std::min<std::size_t>(1024, content_.size() - pos);
        if (dropAfter_ != kAll) n = std::min(n, dropAfter_ - sent);
        if (n == 0) {
            dropped = true;
            break;
        }
        ssize_t w = ::send(fd, content_.data() + pos, n, MSG_NOSIGNAL);
        if (w <= 0) break;
        pos += static_cast<std::size_t>(w);
        sent += static_cast<std::size_t>(w);
        // Read whatever acknowledgements are there without stalling the stream.
        pollfd q{fd, POLLIN, 0};
        while (::poll(&q, 1, 0) > 0 && readAcks()) {
        }
    }
    if (dropped) {
        // A peer that dies: the connection is reset, not closed in order.
        linger hard{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        ::close(fd);
        return;
    }
    // Wait for the final acknowledgement (or the receiver closing).
    for (int waited = 0; waited < timeoutMs && lastAck_ < content_.size(); waited += 100) {
        pollfd q{fd, POLLIN, 0};
        if (::poll(&q, 1, 100) <= 0) continue;
        if (!readAcks()) break;
    }
    ::close(fd);
}

}  // namespace khub::test
