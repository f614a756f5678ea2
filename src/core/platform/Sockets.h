#pragma once
// TCP connections and listening sockets, IPv4 only, built on the system's sockets (Net.h):
// an outgoing connection with a timeout and a listening socket. Each returns a socket or
// kInvalidSocket; the server connection's calls log as they go.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/Net.h"

namespace khub {

class Logger;
class EventLoop;

// A connected socket in blocking mode, or kInvalidSocket after timeoutSeconds. A set cancel
// flag ends the wait early (the program is closing). Blocks the caller: call it on an I/O
// thread. unresolved, when given, tells whether it failed because host has no IPv4 address.
SocketHandle ConnectWithTimeout(Logger& log, const std::string& host, std::uint16_t port,
                                int timeoutSeconds, const std::atomic<bool>* cancel = nullptr,
                                bool* unresolved = nullptr);
// The same to a dotted IPv4 address, silently; for the file transfers.
SocketHandle ConnectIpv4(const std::string& address, std::uint16_t port,
                         std::chrono::milliseconds timeout);

// A socket listening on port on every local address with a backlog of 1, or kInvalidSocket.
// A port in use is tried five times one second apart, as timers on loop, so it never blocks;
// done(socket or kInvalidSocket) runs on the loop thread.
void ListenOnPortAsync(EventLoop& loop, Logger& log, int port,
                       std::function<void(SocketHandle)> done);

// A socket listening on address (dotted IPv4):port with a backlog of 1, at once and silently;
// kInvalidSocket when the port cannot be had.
SocketHandle ListenIpv4(const std::string& address, std::uint16_t port);

// Sends all of bytes (a short write is continued); returns the bytes sent, or the failing
// send's result (0 or -1) when nothing could be sent.
long SendAll(SocketHandle socket, const char* bytes, std::size_t length);

}  // namespace khub
