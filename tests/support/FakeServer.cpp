#include "support/FakeServer.h"

#include "platform/ManualEventLoop.h"

namespace khub::test {

bool FakeServer::Accept(std::chrono::milliseconds timeout) {
    SocketPoll waiting{listener_, kPollRead, 0};
    if (PollSockets({&waiting, 1}, static_cast<int>(timeout.count())) <= 0) return false;
    client_ = AcceptConnection(listener_);
    SetNoDelay(client_);
    received_.clear();
    return client_ != kInvalidSocket;
}

bool FakeServer::Send(const std::string& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
        long n = client_ == kInvalidSocket
                     ? -1
                     : SendSome(client_, bytes.data() + sent, bytes.size() - sent);
        if (n < 0 && IsInterrupted(LastSocketError())) continue;
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return client_ != kInvalidSocket;
}

bool FakeServer::ReadSome(int waitMs) {
    if (client_ == kInvalidSocket) return false;
    SocketPoll waiting{client_, kPollRead, 0};
    if (PollSockets({&waiting, 1}, waitMs) <= 0) return false;
    char chunk[4096];
    long n = ReceiveSome(client_, chunk, sizeof chunk);
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
    while (ReadSome(0)) continue;
    return received_;
}

void FakeServer::CloseClient() {
    CloseSocket(client_);
    client_ = kInvalidSocket;
}

void FakeServer::StopListening() {
    CloseSocket(listener_);
    listener_ = kInvalidSocket;
}

bool RunUntil(ManualEventLoop& loop, const std::function<bool()>& done,
              std::chrono::milliseconds timeout) {
    return WaitUntil(
        [&] {
            loop.RunPending();
            return done();
        },
        timeout);
}

}  // namespace khub::test
