#include "platform/Net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace khub {

namespace {

bool ToIpv4(const std::string& address, std::uint16_t port, sockaddr_in& out) {
    out = {};
    out.sin_family = AF_INET;
    out.sin_port = htons(port);
    if (address.empty()) {
        out.sin_addr.s_addr = htonl(INADDR_ANY);
        return true;
    }
    if (inet_pton(AF_INET, address.c_str(), &out.sin_addr) == 1) return true;
    errno = EINVAL;
    return false;
}

std::string DottedText(const sockaddr_storage& address) {
    if (address.ss_family != AF_INET) return {};
    char text[INET_ADDRSTRLEN] = {};
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
    return inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text) ? text : std::string();
}

template <class GetName>
bool EndAddress(SocketHandle socket, GetName getName, sockaddr_storage& address) {
    socklen_t length = sizeof address;
    return socket >= 0 && getName(socket, reinterpret_cast<sockaddr*>(&address), &length) == 0;
}

}  // namespace

SocketHandle OpenTcpSocket() {
    return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
}

void CloseSocket(SocketHandle socket) {
    if (socket >= 0) ::close(socket);
}

void ShutdownSocket(SocketHandle socket, ShutdownHow how) {
    int what = how == ShutdownHow::Receive ? SHUT_RD
               : how == ShutdownHow::Send  ? SHUT_WR
                                           : SHUT_RDWR;
    ::shutdown(socket, what);
}

bool SetNonBlocking(SocketHandle socket, bool on) {
    int flags = ::fcntl(socket, F_GETFL, 0);
    return flags >= 0 &&
           ::fcntl(socket, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK)) == 0;
}

bool SetNoDelay(SocketHandle socket) {
    int on = 1;
    return ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0;
}

bool BindForListening(SocketHandle socket, const std::string& address, std::uint16_t port) {
    sockaddr_in local{};
    if (!ToIpv4(address, port, local)) return false;
    int one = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    return ::bind(socket, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
}

bool StartListening(SocketHandle socket, int backlog) {
    return ::listen(socket, backlog) == 0;
}

SocketHandle AcceptConnection(SocketHandle listener) {
    return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}

int StartConnect(SocketHandle socket, const std::string& address, std::uint16_t port) {
    sockaddr_in remote{};
    if (address.empty() || !ToIpv4(address, port, remote)) return EINVAL;
    if (::connect(socket, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0) return 0;
    return errno;
}

ConnectWait WaitForConnect(SocketHandle socket, int timeoutMs) {
    pollfd p{socket, POLLOUT, 0};
    int ready = ::poll(&p, 1, timeoutMs);
    if (ready == 0 || (ready < 0 && errno == EINTR)) return ConnectWait::Pending;
    int error = 0;
    socklen_t length = sizeof error;
    if (ready < 0 || ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0 ||
        error != 0 || (p.revents & (POLLERR | POLLHUP))) {
        if (error != 0) errno = error;
        return ConnectWait::Failed;
    }
    return ConnectWait::Connected;
}

long SendSome(SocketHandle socket, const void* bytes, std::size_t length) {
    return static_cast<long>(::send(socket, bytes, length, MSG_NOSIGNAL));
}

long ReceiveSome(SocketHandle socket, void* bytes, std::size_t length) {
    return static_cast<long>(::recv(socket, bytes, length, 0));
}

int PollSockets(std::span<SocketPoll> sockets, int timeoutMs) {
    std::vector<pollfd> polled(sockets.size());
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        short events = 0;
        if (sockets[i].wanted & kPollRead) events |= POLLIN;
        if (sockets[i].wanted & kPollWrite) events |= POLLOUT;
        polled[i] = {sockets[i].socket, events, 0};
    }
    int ready = ::poll(polled.data(), polled.size(), timeoutMs);
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        short revents = ready > 0 ? polled[i].revents : 0;
        sockets[i].ready = static_cast<short>(((revents & POLLIN) ? kPollRead : 0) |
                                              ((revents & POLLOUT) ? kPollWrite : 0) |
                                              ((revents & POLLHUP) ? kPollHangUp : 0) |
                                              ((revents & (POLLERR | POLLNVAL)) ? kPollError : 0));
    }
    return ready;
}

std::string LocalIpv4Address(SocketHandle socket) {
    sockaddr_storage address{};
    return EndAddress(socket, ::getsockname, address) ? DottedText(address) : std::string();
}

std::string PeerIpv4Address(SocketHandle socket) {
    sockaddr_storage address{};
    return EndAddress(socket, ::getpeername, address) ? DottedText(address) : std::string();
}

std::uint16_t LocalPort(SocketHandle socket) {
    sockaddr_storage address{};
    if (!EndAddress(socket, ::getsockname, address) || address.ss_family != AF_INET) return 0;
    return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
}

std::string ResolveIpv4(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return {};
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> guard(found, ::freeaddrinfo);
    sockaddr_storage address{};
    std::memcpy(&address, found->ai_addr, sizeof(sockaddr_in));
    return DottedText(address);
}

int LastSocketError() {
    return errno;
}

std::string SocketErrorText(int error) {
    return std::strerror(error);
}

bool IsWouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

bool IsInterrupted(int error) {
    return error == EINTR;
}

bool IsConnectPending(int error) {
    return error == EINPROGRESS;
}

bool IsConnectionGone(int error) {
    return error == ECONNRESET || error == EPIPE || error == ECONNABORTED;
}

bool IsAddressInUse(int error) {
    return error == EADDRINUSE;
}

}  // namespace khub
