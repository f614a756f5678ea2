#pragma once
// TCP over POSIX sockets, IPv4 only: an outgoing connection with a timeout and a listening
// socket. Each returns a socket (a file descriptor) or -1, and logs as it goes.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace khub {

class Logger;
class EventLoop;

inline constexpr int kInvalidSocket = -1;

// A connected socket in blocking mode, or -1 after timeoutSeconds. A set cancel flag ends
// the wait early (the program is closing). Blocks the caller: call it on an I/O thread.
// unresolved, when given, tells whether it failed because host has no IPv4 address.
int ConnectWithTimeout(Logger& log, const std::string& host, std::uint16_t port, int timeoutSeconds,
                       const std::atomic<bool>* cancel = nullptr, bool* unresolved = nullptr);

// A socket listening on port on every local address with a backlog of 1, or -1. A port
// in use is tried five times one second apart, so this blocks for up to four seconds:
// call it on an I/O thread, or use ListenOnPortAsync on the lobby thread.
int ListenOnPort(Logger& log, int port);

// The same five binds one second apart as timers on loop; done(socket or -1) runs on the
// loop thread. Never blocks.
void ListenOnPortAsync(EventLoop& loop, Logger& log, int port, std::function<void(int)> done);

// Sends all of bytes (a short write is continued); returns the bytes sent, or the failing
// send()'s result (0 or -1) when nothing could be sent.
long SendAll(int socket, const char* bytes, std::size_t length);

void CloseSocket(int socket);

// The dotted IPv4 address this end of a connected socket has; empty when there is none.
std::string LocalIpv4Address(int socket);

}  // namespace khub
