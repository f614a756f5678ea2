#include "ircu/LoopbackPort.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

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

SocketHandle ConnectToLoopback(int port) {
    SocketHandle socket = OpenTcpSocket();
    if (socket != kInvalidSocket &&
        StartConnect(socket, kLoopback, static_cast<std::uint16_t>(port)) != 0) {
        CloseSocket(socket);
        return kInvalidSocket;
    }
    return socket;
}

bool WaitUntilListening(int port, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        SocketHandle socket = ConnectToLoopback(port);
        CloseSocket(socket);
        if (socket != kInvalidSocket) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

void LoopbackSocketPair(SocketHandle pair[2]) {
    int port = 0;
    SocketHandle listener = ListenOnLoopback(&port, 1);
    pair[0] = ConnectToLoopback(port);
    pair[1] = pair[0] == kInvalidSocket ? kInvalidSocket : AcceptConnection(listener);
    CloseSocket(listener);
    if (pair[1] == kInvalidSocket) {
        CloseSocket(pair[0]);
        throw std::runtime_error("no loopback socket pair");
    }
    SetNoDelay(pair[0]);
    SetNoDelay(pair[1]);
}

void ResetAndClose(SocketHandle socket) {
    linger abort{1, 0};
#ifdef _WIN32
    ::setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_LINGER,
                 reinterpret_cast<const char*>(&abort), sizeof abort);
#else
    ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
#endif
    CloseSocket(socket);
}

}  // namespace khub::test
