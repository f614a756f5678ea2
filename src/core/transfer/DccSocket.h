#pragma once
// The few socket calls a DCC transfer needs (POSIX). Every wait is a poll with a limit so
// that a cancelled transfer never sits in a blocked call.

#include <chrono>
#include <string>

namespace khub::transfer {

// A TCP connection to ip:port within timeout; -1 when it fails.
int DccConnect(const std::string& ip, int port, std::chrono::milliseconds timeout);
// A listening socket on address:port (backlog 1); -1 when the port cannot be had.
int DccListen(const std::string& address, int port);
// Closes fd when it is not -1.
void DccClose(int fd);
// The local port a socket is bound to; 0 on failure.
int DccLocalPort(int fd);

}  // namespace khub::transfer
