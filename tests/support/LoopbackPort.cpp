#include "support/LoopbackPort.h"

#include <chrono>
#include <stdexcept>
#include <thread>

namespace khub::test {

namespace {
constexpr const char* kLoopback = "127.0.0.1";
}  // namespace

int FreeLoopbackPort() {
    SocketHandle socket = OpenTcpSocket();
    if (socket == kInvalidSocket || !BindForListening(socket, kLoopback, 0)) {
        CloseSocket(socket);
        throw std::runtime_error("no free loopback port");
    }
    int port = LocalPort(socket);
    CloseSocket(socket);
    return port;
}

SocketHandle ListenOnLoopback(int* port, int backlog) {
    SocketHandle socket = OpenTcpSocket();
    if (socket == kInvalidSocket || !BindForListening(socket, kLoopback, 0) ||
        !StartListening(socket, backlog)) {
        CloseSocket(socket);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    *port = LocalPort(socket);
    return socket;
}

bool WaitUntilListening(int port, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        SocketHandle socket = OpenTcpSocket();
        bool ok = StartConnect(socket, kLoopback, static_cast<std::uint16_t>(port)) == 0;
        CloseSocket(socket);
        if (ok) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

}  // namespace khub::test
