#pragma once
// The operating system's TCP sockets, IPv4 only, as thin as POSIX and Winsock allow. Every
// call that fails leaves its error number for LastSocketError(). Writing to a connection the
// peer has closed never raises a signal. No socket made here is inherited by a started
// program.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace khub {

#ifdef _WIN32
using SocketHandle = std::uintptr_t;
inline constexpr SocketHandle kInvalidSocket = ~SocketHandle{0};
#else
using SocketHandle = int;
inline constexpr SocketHandle kInvalidSocket = -1;
#endif

// A TCP socket, blocking; kInvalidSocket on failure.
SocketHandle OpenTcpSocket();
// Does nothing for kInvalidSocket.
void CloseSocket(SocketHandle socket);

enum class ShutdownHow { Receive, Send, Both };
// Ends one or both directions; a reader blocked on the socket may not wake on every system,
// so readers that must stop on it poll with a limit.
void ShutdownSocket(SocketHandle socket, ShutdownHow how);

bool SetNonBlocking(SocketHandle socket, bool on);
// Sends each write at once instead of holding it back for the peer's acknowledgement (Nagle).
bool SetNoDelay(SocketHandle socket);

// Binds a socket that is to listen to address (dotted IPv4; empty: every local address) and
// port (0: any free one). A port that only old connections hold (TIME_WAIT) can be bound
// again; one another socket listens on cannot.
bool BindForListening(SocketHandle socket, const std::string& address, std::uint16_t port);
bool StartListening(SocketHandle socket, int backlog);
// A connection waiting on a listening socket; kInvalidSocket when there is none or it failed.
SocketHandle AcceptConnection(SocketHandle listener);

// Starts connecting to address (dotted IPv4):port. Returns 0 when connected at once, else
// the error number (IsConnectPending tells whether it goes on in the background of a
// non-blocking socket).
int StartConnect(SocketHandle socket, const std::string& address, std::uint16_t port);
enum class ConnectWait { Connected, Failed, Pending };
// Waits up to timeoutMs (-1: no limit) for a connect that StartConnect left pending. Pending: not
// yet (or the wait was interrupted).
ConnectWait WaitForConnect(SocketHandle socket, int timeoutMs);

// One send or receive call; the byte count, 0 (receive: the peer closed), or -1 with the
// error in LastSocketError().
long SendSome(SocketHandle socket, const void* bytes, std::size_t length);
long ReceiveSome(SocketHandle socket, void* bytes, std::size_t length);

inline constexpr short kPollRead = 1;
inline constexpr short kPollWrite = 2;
inline constexpr short kPollHangUp = 4;  // only ever in ready
inline constexpr short kPollError = 8;   // only ever in ready
struct SocketPoll {
    SocketHandle socket = kInvalidSocket;
    short wanted = 0;  // kPollRead and/or kPollWrite
    short ready = 0;   // set by PollSockets
};
// Waits up to timeoutMs (-1: no limit) until one of sockets is ready; the number of ready
// sockets, 0 after the limit, -1 on failure.
int PollSockets(std::span<SocketPoll> sockets, int timeoutMs);

// Dotted IPv4 addresses and the port of the two ends; empty or 0 when there is none.
std::string LocalIpv4Address(SocketHandle socket);
std::string PeerIpv4Address(SocketHandle socket);
std::uint16_t LocalPort(SocketHandle socket);

// The first IPv4 address of host as dotted text; empty when it has none.
std::string ResolveIpv4(const std::string& host);

int LastSocketError();
// The system's text for a socket error number, in UTF-8.
std::string SocketErrorText(int error);
bool IsWouldBlock(int error);
bool IsInterrupted(int error);
bool IsConnectPending(int error);
// The peer reset the connection or it is gone (a write after the peer closed).
bool IsConnectionGone(int error);
bool IsAddressInUse(int error);

}  // namespace khub
