#include "Sockets.h"

#include <algorithm>
#include <memory>

#include "app/Log.h"
#include "platform/EventLoop.h"

namespace khub {

namespace {

using namespace std::chrono_literals;

// Waited in short slices so that a closing program need not wait the whole timeout.
constexpr auto kConnectSlice = 100ms;
constexpr int kBindAttempts = 5;

void SetBlocking(Logger* log, SocketHandle socket, bool blocking) {
    if (!SetNonBlocking(socket, !blocking) && log) {
        log->DebugLog("ioctlsocket failed with error: %ld\r\n",
                      static_cast<long>(LastSocketError()));
    }
}

// A connection to a dotted address in blocking mode, or kInvalidSocket; logs to log when
// there is one.
SocketHandle Connect(Logger* log, const std::string& address, std::uint16_t port,
                     std::chrono::milliseconds timeout, const std::atomic<bool>* cancel) {
    SocketHandle socket = OpenTcpSocket();
    if (socket == kInvalidSocket) return kInvalidSocket;
    SetBlocking(log, socket, false);
    auto fail = [socket] {
        CloseSocket(socket);
        return kInvalidSocket;
    };
    int error = StartConnect(socket, address, port);
    if (error == 0) {
        if (log) log->DebugLog("Connected!\r\n");
    } else if (!IsConnectPending(error)) {
        if (log) {
            log->DebugLog("Failed to connect to server.\r\n");
            log->DebugLog("Error: %i\r\n", error);
        }
        return fail();
    } else {
        if (log) log->DebugLog("Attempting to connect.\r\n");
        auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (cancel && cancel->load()) return fail();
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                if (log) {
                    log->DebugLog(
                        "Connect Timeout (%i Sec).\r\n",
                        static_cast<int>(
                            std::chrono::duration_cast<std::chrono::seconds>(timeout).count()));
                }
                return fail();
            }
            ConnectWait wait =
                WaitForConnect(socket, static_cast<int>(std::min(left, kConnectSlice).count()));
            if (wait == ConnectWait::Pending) continue;
            if (wait == ConnectWait::Failed) {
                if (log) log->DebugLog("Select error.\r\n");
                return fail();
            }
            if (log) log->DebugLog("Connected!\r\n");
            break;
        }
    }
    SetBlocking(log, socket, true);
    return socket;
}

SocketHandle BindAndListen(Logger* log, const std::string& address, int port, bool lastTry,
                           bool& bindFailed) {
    bindFailed = false;
    SocketHandle socket = OpenTcpSocket();
    if (socket == kInvalidSocket) return kInvalidSocket;
    if (port < 0 || port > 65535 ||
        !BindForListening(socket, address, static_cast<std::uint16_t>(port))) {
        CloseSocket(socket);
        bindFailed = true;
        if (lastTry && log) log->DebugLog("Could not bind socket\r\n");
        return kInvalidSocket;
    }
    if (!StartListening(socket, 1)) {
        if (log) {
            log->DebugLog("Listen failed with error: %ld\r\n",
                          static_cast<long>(LastSocketError()));
        }
        CloseSocket(socket);
        return kInvalidSocket;
    }
    return socket;
}

void TryListen(EventLoop& loop, Logger& log, int port, int attempt,
               std::shared_ptr<std::function<void(SocketHandle)>> done) {
    bool bindFailed = false;
    SocketHandle socket = BindAndListen(&log, {}, port, attempt == kBindAttempts, bindFailed);
    if (socket != kInvalidSocket || !bindFailed || attempt == kBindAttempts) {
        (*done)(socket);
        return;
    }
    loop.PostDelayed(std::chrono::seconds(1), [&loop, &log, port, attempt, done] {
        TryListen(loop, log, port, attempt + 1, done);
    });
}

}  // namespace

SocketHandle ConnectWithTimeout(Logger& log, const std::string& host, std::uint16_t port,
                                int timeoutSeconds, const std::atomic<bool>* cancel,
                                bool* unresolved) {
    std::string dotted = ResolveIpv4(host);
    if (unresolved) *unresolved = dotted.empty();
    if (dotted.empty()) return kInvalidSocket;
    log.DebugLog("Address resolved: %s\r\n", dotted.c_str());
    return Connect(&log, dotted, port, std::chrono::seconds(timeoutSeconds), cancel);
}

SocketHandle ConnectIpv4(const std::string& address, std::uint16_t port,
                         std::chrono::milliseconds timeout) {
    return Connect(nullptr, address, port, timeout, nullptr);
}

void ListenOnPortAsync(EventLoop& loop, Logger& log, int port,
                       std::function<void(SocketHandle)> done) {
    TryListen(loop, log, port, 1,
              std::make_shared<std::function<void(SocketHandle)>>(std::move(done)));
}

SocketHandle ListenIpv4(const std::string& address, std::uint16_t port) {
    bool bindFailed = false;
    return BindAndListen(nullptr, address, port, false, bindFailed);
}

long SendAll(SocketHandle socket, const char* bytes, std::size_t length) {
    std::size_t sent = 0;
    while (sent < length) {
        long n = SendSome(socket, bytes + sent, length - sent);
        if (n < 0 && IsInterrupted(LastSocketError())) continue;
        if (n <= 0) return sent > 0 ? static_cast<long>(sent) : n;
        sent += static_cast<std::size_t>(n);
    }
    return static_cast<long>(sent);
}

}  // namespace khub
