// Winsock 2.2. It is started once, by the first call that makes a socket or resolves a name,
// and stays up until the program ends: sockets of a transfer must not die with the server
// connection.

#include "platform/Net.h"

#include <winsock2.h>
#include <ws2tcpip.h>  // winsock2.h brings windows.h

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace khub {

namespace {

bool StartWinsock() {
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

SOCKET Native(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

bool ToIpv4(const std::string& address, std::uint16_t port, sockaddr_in& out) {
    out = {};
    out.sin_family = AF_INET;
    out.sin_port = htons(port);
    if (address.empty()) {
        out.sin_addr.s_addr = htonl(INADDR_ANY);
        return true;
    }
    if (inet_pton(AF_INET, address.c_str(), &out.sin_addr) == 1) return true;
    WSASetLastError(WSAEINVAL);
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
    int length = sizeof address;
    return socket != kInvalidSocket &&
           getName(Native(socket), reinterpret_cast<sockaddr*>(&address), &length) == 0;
}

// Winsock's calls count in int.
int ClampLength(std::size_t length) {
    return static_cast<int>(std::min<std::size_t>(length, 1u << 30));
}

std::string Utf8(const wchar_t* text, int length) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), bytes, nullptr, nullptr);
    return out;
}

}  // namespace

SocketHandle OpenTcpSocket() {
    if (!StartWinsock()) return kInvalidSocket;
    SOCKET s = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                          WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    return s == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(s);
}

void CloseSocket(SocketHandle socket) {
    if (socket != kInvalidSocket) closesocket(Native(socket));
}

void ShutdownSocket(SocketHandle socket, ShutdownHow how) {
    int what = how == ShutdownHow::Receive ? SD_RECEIVE
               : how == ShutdownHow::Send  ? SD_SEND
                                           : SD_BOTH;
    shutdown(Native(socket), what);
}

bool SetNonBlocking(SocketHandle socket, bool on) {
    u_long mode = on ? 1 : 0;
    return ioctlsocket(Native(socket), FIONBIO, &mode) == 0;
}

bool SetNoDelay(SocketHandle socket) {
    BOOL on = TRUE;
    return setsockopt(Native(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                      sizeof on) == 0;
}

bool BindForListening(SocketHandle socket, const std::string& address, std::uint16_t port) {
    sockaddr_in local{};
    if (!ToIpv4(address, port, local)) return false;
    // Windows binds over connections in TIME_WAIT by itself; SO_REUSEADDR there would let a
    // second socket take a port another listens on. Exclusive use keeps others off ours.
    BOOL on = TRUE;
    setsockopt(Native(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
               sizeof on);
    return bind(Native(socket), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

bool StartListening(SocketHandle socket, int backlog) {
    return listen(Native(socket), backlog) == 0;
}

SocketHandle AcceptConnection(SocketHandle listener) {
    SOCKET s = accept(Native(listener), nullptr, nullptr);
    return s == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(s);
}

int StartConnect(SocketHandle socket, const std::string& address, std::uint16_t port) {
    sockaddr_in remote{};
    if (address.empty() || !ToIpv4(address, port, remote)) return WSAEINVAL;
    if (connect(Native(socket), reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0)
        return 0;
    return WSAGetLastError();
}

// select, not WSAPoll: WSAPoll of older Windows never reports a refused connect.
ConnectWait WaitForConnect(SocketHandle socket, int timeoutMs) {
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(Native(socket), &writable);
    FD_SET(Native(socket), &failed);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int ready = select(0, nullptr, &writable, &failed, timeoutMs < 0 ? nullptr : &limit);
    if (ready == 0) return ConnectWait::Pending;
    if (ready < 0) return ConnectWait::Failed;
    if (FD_ISSET(Native(socket), &failed)) {
        int error = 0;
        int length = sizeof error;
        getsockopt(Native(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
        WSASetLastError(error != 0 ? error : WSAECONNREFUSED);
        return ConnectWait::Failed;
    }
    return ConnectWait::Connected;
}

long SendSome(SocketHandle socket, const void* bytes, std::size_t length) {
    return send(Native(socket), static_cast<const char*>(bytes), ClampLength(length), 0);
}

long ReceiveSome(SocketHandle socket, void* bytes, std::size_t length) {
    return recv(Native(socket), static_cast<char*>(bytes), ClampLength(length), 0);
}

int PollSockets(std::span<SocketPoll> sockets, int timeoutMs) {
    std::vector<WSAPOLLFD> polled(sockets.size());
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        short events = 0;
        if (sockets[i].wanted & kPollRead) events |= POLLRDNORM;
        if (sockets[i].wanted & kPollWrite) events |= POLLWRNORM;
        polled[i] = {Native(sockets[i].socket), events, 0};
    }
    int ready = WSAPoll(polled.data(), static_cast<ULONG>(polled.size()), timeoutMs);
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        short revents = ready > 0 ? polled[i].revents : 0;
        sockets[i].ready = static_cast<short>(((revents & POLLRDNORM) ? kPollRead : 0) |
                                              ((revents & POLLWRNORM) ? kPollWrite : 0) |
                                              ((revents & POLLHUP) ? kPollHangUp : 0) |
                                              ((revents & (POLLERR | POLLNVAL)) ? kPollError : 0));
    }
    return ready;
}

std::string LocalIpv4Address(SocketHandle socket) {
    sockaddr_storage address{};
    return EndAddress(socket, getsockname, address) ? DottedText(address) : std::string();
}

std::string PeerIpv4Address(SocketHandle socket) {
    sockaddr_storage address{};
    return EndAddress(socket, getpeername, address) ? DottedText(address) : std::string();
}

std::uint16_t LocalPort(SocketHandle socket) {
    sockaddr_storage address{};
    if (!EndAddress(socket, getsockname, address) || address.ss_family != AF_INET) return 0;
    return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
}

std::string ResolveIpv4(const std::string& host) {
    if (!StartWinsock()) return {};
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return {};
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> guard(found, freeaddrinfo);
    sockaddr_storage address{};
    std::memcpy(&address, found->ai_addr, sizeof(sockaddr_in));
    return DottedText(address);
}

int LastSocketError() {
    return WSAGetLastError();
}

std::string SocketErrorText(int error) {
    // Looking the text up must not change the error a caller reads next.
    struct KeepLastError {
        int saved = WSAGetLastError();
        ~KeepLastError() { WSASetLastError(saved); }
    } keep;
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0 || !text) return "Winsock error " + std::to_string(error);
    std::unique_ptr<wchar_t, decltype(&LocalFree)> guard(text, LocalFree);
    // The system's texts end in a line break and often a full stop.
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' ||
                          text[length - 1] == L' ' || text[length - 1] == L'.')) {
        --length;
    }
    return Utf8(text, static_cast<int>(length));
}

bool IsWouldBlock(int error) {
    return error == WSAEWOULDBLOCK;
}

bool IsInterrupted(int error) {
    return error == WSAEINTR;
}

bool IsConnectPending(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS;
}

bool IsConnectionGone(int error) {
    return error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAESHUTDOWN;
}

bool IsAddressInUse(int error) {
    return error == WSAEADDRINUSE || error == WSAEACCES;
}

}  // namespace khub
