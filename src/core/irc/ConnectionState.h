#pragma once
// The one server connection. The receive and connect threads read the atomics; every
// other field belongs to the lobby thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "irc/LineInbox.h"
#include "platform/EventLoop.h"
#include "platform/Net.h"

namespace khub {

// One connected socket, shared by the lobby thread (which may shut it down) and the
// receive thread (which alone closes it, once it has stopped reading).
struct IrcLink {
    IrcLink(SocketHandle socket, std::uint64_t generation,
            std::size_t inboxCapacity = LineInbox::kDefaultCapacity)
        : socket(socket), generation(generation), inbox(inboxCapacity) {}
    // Wakes the reader (Receive / Both) or ends our half (Send). Harmless once closed.
    void Shutdown(ShutdownHow how);
    void Close();
    bool Closed();
    // Shutdown ended the receive side; on systems where that does not wake a blocked read,
    // the reader's poll limit finds it here.
    bool ReadingStopped() const { return readingStopped_.load(); }

    const SocketHandle socket;
    const std::uint64_t generation;
    std::atomic<bool> receiveEnded{false};
    // Lines read and not yet handled; closed when the link is let go.
    LineInbox inbox;

  private:
    std::mutex mutex_;
    bool closed_ = false;
    std::atomic<bool> readingStopped_{false};
};

struct ConnectionState {
    ConnectionState() = default;
    ConnectionState(const ConnectionState&) = delete;
    ConnectionState& operator=(const ConnectionState&) = delete;
    // Stops the connect and receive threads and closes the socket.
    ~ConnectionState();

    std::atomic<SocketHandle> ircSocket{kInvalidSocket};
    std::atomic<int> lastReceiveResult{0};
    std::atomic<bool> receiveLoopActive{false};
    std::atomic<bool> receiveThreadRunning{false};  // read as "connected"
    std::string ownNick;
    std::string ircUserName = "KHubUser";
    std::string channelName = "#K-HubI";
    std::string nickLine, userLine, joinLine;
    bool channelJoinSent = false;
    bool registrationSent = false;  // NICK and USER went out for this connection
    // What the server's 005 (ISUPPORT) lines said about it; forgotten at every connect.
    struct ServerFeatures {
        bool listed = false;      // a 005 line came
        bool userIp = false;      // USERIP is among them (the ircu family)
        bool wallvoices = false;  // WALLVOICES is among them (the ircu family)
        int nickLength = 0;       // NICKLEN, 0 while unknown
    } features;
    // Nicks we chose because the server refused ours; forgotten at every connect.
    struct NickFallback {
        int tries = 0;               // since the last welcome
        int assumedLength = 0;       // a length limit guessed before the server told its own
        const char* told = nullptr;  // the refusal the player hears of once we are in
        bool welcomed = false;       // 001 came: the nick is the server's answer
    } nickFallback;
    // Asking for our address beyond USERIP and USERHOST; forgotten at every connect.
    struct OwnAddressSearch {
        bool whoisSent = false;
        bool ended = false;  // settled on the local address, or told the player there is none
    } ownAddress;

    // Where lines to the server go instead of the socket (tests record them here).
    // Returns what send() would: bytes sent, or 0 / -1 on failure.
    std::function<long(std::string_view)> sendOverride;
    // One whole line at a time, from any thread.
    std::mutex sendMutex;

    // Every connect and every disconnect starts a new generation; lines and results that
    // threads post for an older one are dropped on arrival.
    std::atomic<std::uint64_t> generation{0};
    std::shared_ptr<IrcLink> link;  // lobby thread
    EventLoop::TimerId registrationTimer = 0;
    EventLoop::TimerId disconnectTimer = 0;
    EventLoop::TimerId motdTimer = 0;             // joins after the MOTD if no own MODE came
    bool connecting = false;                      // a connect thread is trying
    bool connectItemEnabled = true;               // File > Connect / Disconnect (menu item 200)
    std::vector<std::shared_ptr<IrcLink>> links;  // every link made, for StopThreads
    std::size_t inboxCapacity = LineInbox::kDefaultCapacity;  // per link (tests make it small)

    // Threads of this connection and of earlier ones; joined when the program ends.
    std::atomic<bool> stopping{false};
    std::vector<std::thread> threads;

    // Ends every thread: wakes a connect attempt and the reader, then joins them.
    void StopThreads();
};

}  // namespace khub
