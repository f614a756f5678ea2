#include "support/FakeServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

#include "platform/ManualEventLoop.h"

namespace khub::test {

FakeServer::FakeServer() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        listen(listener_, 4) != 0) {
        throw std::runtime_error("fake server cannot listen");
    }
    socklen_t length = sizeof a;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length);
    port_ = ntohs(a.sin_port);
}

FakeServer::~FakeServer() {
    CloseClient();
    StopListening();
}

bool FakeServer::Accept(std::chrono::milliseconds timeout) {
    pollfd p{listener_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return false;
    client_ = accept(listener_, nullptr, nullptr);
    int on = 1;
    setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    received_.clear();
    return client_ >= 0;
}

void FakeServer::Send(const std::string& bytes) {
    if (client_ >= 0) send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

bool FakeServer::ReadSome(int waitMs) {
    if (client_ < 0) return false;
    pollfd p{client_, POLLIN, 0};
    if (poll(&p, 1, waitMs) <= 0) return false;
    char chunk[4096];
    ssize_t n = recv(client_, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    received_.append(chunk, static_cast<std::size_t>(n));
    return true;
}

std::string FakeServer::ReadUntil(const std::string& text, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (received_.find(text) == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        ReadSome(20);
    }
    return received_;
}

std::string FakeServer::Received() {
    while (ReadSome(0)) {
    }
    return received_;
}

void FakeServer::CloseClient() {
    if (client_ >= 0) close(client_);
    client_ = -1;
}

void FakeServer::StopListening() {
    if (listener_ >= 0) close(listener_);
    listener_ = -1;
}

bool RunUntil(ManualEventLoop& loop, const std::function<bool()>& done,
              std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        loop.RunPending();
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

}  // namespace khub::test
